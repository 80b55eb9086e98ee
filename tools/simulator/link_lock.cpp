#include "link_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <thread>

namespace solvard::simulator {
namespace {

// A record is a pid and a device path: anything longer is not one.
constexpr std::size_t kRecordLimit = 512;

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error("simulator: " + what + ": " + std::strerror(errno));
}

std::string readAll(int fd) {
  char text[kRecordLimit];
  const ssize_t n = ::pread(fd, text, sizeof text, 0);
  return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

std::string linkTarget(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
  return std::string(target, static_cast<std::size_t>(n));
}

// The holder writes its record just after taking the lock: a claimant that comes in between
// finds the file empty for a moment, so it looks again a few times before naming nobody.
long holderOf(int fd) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    const long pid = readLockRecord(readAll(fd)).pid;
    if (pid != 0) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

std::string heldText(const std::string& linkPath, long pid) {
  std::string text = linkPath + " is held by another simulator";
  if (pid != 0) text += " (pid " + std::to_string(pid) + ")";
  return text;
}

// Opens and locks the lock file. A holder removes its file as it exits, so a claimant may lock
// a file no longer at the path: it then opens the path again, or two would think they hold it.
int claim(const std::string& lockPath, const std::string& linkPath) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int fd =
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) fail("open " + lockPath);
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      throw LinkRefused(lockPath + " is not a simulator's lock file");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error == EWOULDBLOCK) {
        const long pid = holderOf(fd);
        ::close(fd);
        throw LinkRefused(heldText(linkPath, pid));
      }
      ::close(fd);
      errno = error;
      fail("lock " + lockPath);
    }
    struct stat named {};
    if (::stat(lockPath.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      return fd;
    }
    ::close(fd);
  }
  throw std::runtime_error("simulator: " + lockPath + " keeps changing hands");
}

}  // namespace

LockRecord readLockRecord(const std::string& text) {
  LockRecord record;
  const std::size_t space = text.find(' ');
  const std::size_t end = text.find('\n');
  if (space == std::string::npos || end == std::string::npos || end < space ||
      end + 1 != text.size()) {
    return record;
  }
  long pid = 0;
  const char* first = text.data();
  auto [stop, error] = std::from_chars(first, first + space, pid);
  if (error != std::errc() || stop != first + space || pid <= 0 || pid > INT_MAX) return record;
  std::string target = text.substr(space + 1, end - space - 1);
  for (char c : target) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return record;
  }
  if (!target.starts_with('/')) return record;
  record.pid = pid;
  record.target = std::move(target);
  return record;
}

LinkLock::~LinkLock() { release(); }

void LinkLock::publish(const std::string& linkPath, const std::string& target) {
  release();
  const std::string lockPath = linkPath + ".lock";
  const int fd = claim(lockPath, linkPath);
  // From here the path is this simulator's: whatever goes wrong gives the claim back.
  auto giveUp = [&] {
    ::unlink(lockPath.c_str());
    ::close(fd);
  };
  const LockRecord previous = readLockRecord(readAll(fd));
  struct stat there {};
  if (::lstat(linkPath.c_str(), &there) == 0) {
    // Only the link a simulator that died left behind is replaced: it is a symlink to the
    // device its lock file names.
    if (!S_ISLNK(there.st_mode) || previous.target.empty() ||
        linkTarget(linkPath) != previous.target) {
      giveUp();
      throw LinkRefused(linkPath + " exists and is not a simulator's link");
    }
    ::unlink(linkPath.c_str());
  }
  const std::string record = std::to_string(::getpid()) + " " + target + "\n";
  if (::ftruncate(fd, 0) != 0 ||
      ::pwrite(fd, record.data(), record.size(), 0) != static_cast<ssize_t>(record.size())) {
    const int error = errno;
    giveUp();
    errno = error;
    fail("write " + lockPath);
  }
  if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
    const int error = errno;
    giveUp();
    errno = error;
    fail("symlink " + linkPath);
  }
  fd_ = fd;
  linkPath_ = linkPath;
  lockPath_ = lockPath;
  target_ = target;
}

void LinkLock::release() {
  if (fd_ < 0) return;
  if (linkTarget(linkPath_) == target_) ::unlink(linkPath_.c_str());
  // Removed while still locked: a claimant waiting on this file sees it gone and opens anew.
  ::unlink(lockPath_.c_str());
  ::close(fd_);
  fd_ = -1;
  linkPath_.clear();
  lockPath_.clear();
  target_.clear();
}

}  // namespace solvard::simulator
