#pragma once

#include <stdexcept>
#include <string>

namespace solvard::simulator {

// The link path is not this simulator's to publish: another live simulator holds it, or
// something that is not a simulator's link sits there. The text names the path and why.
class LinkRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The claim of one simulator on a link path, held as an exclusive flock on the companion file
// "PATH.lock". The kernel drops the lock when its holder dies, so a crashed simulator never
// blocks the next one; the file names the holder's process and the device its link points to,
// which is how a later holder knows a stale link at PATH for a simulator's own.
class LinkLock {
 public:
  LinkLock() = default;
  ~LinkLock();
  LinkLock(const LinkLock&) = delete;
  LinkLock& operator=(const LinkLock&) = delete;

  // Claims `linkPath` and publishes it as a symlink to `target`. Raises LinkRefused when another
  // simulator holds the path or something not made by a simulator is there (neither is
  // touched), std::runtime_error when the files cannot be made.
  void publish(const std::string& linkPath, const std::string& target);
  // Removes the link (only if it still points where this simulator put it) and gives the
  // claim up.
  void release();

 private:
  int fd_ = -1;
  std::string linkPath_;
  std::string lockPath_;
  std::string target_;
};

// What a lock file says: "PID DEVICE\n". A pid of 0 when the text does not hold one.
struct LockRecord {
  long pid = 0;
  std::string target;
};
LockRecord readLockRecord(const std::string& text);

}  // namespace solvard::simulator
