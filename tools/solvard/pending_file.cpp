#include "pending_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "pending_text.hpp"
#include "solvard/line.hpp"
#include "state_folder.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

// A kept record takes under a hundred bytes; a file past this is not one this command wrote.
constexpr off_t kLargestFile = 1 << 20;
constexpr std::chrono::milliseconds kLockTry{25};

std::string failure(const fs::path& path, const std::string& what) {
  return path.string() + ": " + what;
}

std::string systemFailure(const fs::path& path) { return failure(path, std::strerror(errno)); }

// Holds the user's lock on the kept-records file for as long as it lives.
class FileLock {
 public:
  FileLock(const fs::path& file, std::chrono::milliseconds wait,
           const std::function<void(std::chrono::milliseconds)>& pause, std::string& problem) {
    const fs::path path = file.string() + ".lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
      problem = errno == ELOOP ? failure(path, "is a link; the lock is never taken through one")
                               : systemFailure(path);
      return;
    }
    // Another process holds it while it rewrites the file, which takes milliseconds; one that
    // holds it longer is stuck or not ours, and the download must not wait on it for ever.
    for (std::chrono::milliseconds waited{0};; waited += kLockTry) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
      if (errno != EWOULDBLOCK || waited >= wait) break;
      pause(kLockTry);
    }
    problem = errno == EWOULDBLOCK
                  ? failure(path, "held by another program for more than " +
                                      std::to_string(wait.count() / 1000) +
                                      " s; no door was prompted (is another solvard stuck?)")
                  : systemFailure(path);
    ::close(fd_);
    fd_ = -1;
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool readFile(const fs::path& path, std::string& text, std::string& problem) {
  // Not through a link, and not blocking on a FIFO planted under the file's name.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    problem = errno == ELOOP ? failure(path, "is a link; kept records are never read through one")
                             : systemFailure(path);
    return false;
  }
  struct stat status {};
  bool ok = ::fstat(fd, &status) == 0;
  if (!ok) {
    problem = systemFailure(path);
  } else if (!S_ISREG(status.st_mode)) {
    problem = failure(path, "is not a regular file");
    ok = false;
  } else if (status.st_size > kLargestFile) {
    problem = failure(path, "holds " + std::to_string(status.st_size) +
                                " bytes, more than kept records ever take");
    ok = false;
  }
  char buffer[4096];
  while (ok && text.size() <= static_cast<std::size_t>(kLargestFile)) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      problem = systemFailure(path);
      ok = false;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ok;
}

bool writeFully(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

std::shared_ptr<PendingFile> PendingFile::unavailable(std::string why) {
  auto keeper = std::make_shared<PendingFile>(fs::path());
  keeper->unavailable_ = std::move(why);
  return keeper;
}

bool PendingFile::readAll(std::vector<KeptRecord>& records, std::string& problem) const {
  std::string text;
  if (!readFile(path_, text, problem)) return false;
  PendingRead read = readPendingText(text);
  if (read.damage) {
    problem = failure(path_, *read.damage +
                                 ": the kept records cannot be trusted, so no door is prompted "
                                 "until the file is mended (restore that line, or move the file "
                                 "aside once its records are written by hand)");
    return false;
  }
  records = std::move(read.records);
  return true;
}

bool PendingFile::writeAll(const std::vector<KeptRecord>& records, std::string& problem) const {
  const fs::path fresh = path_.string() + ".new";
  const std::string text = writePendingText(records);
  // A stale new file (or a link planted under its name) goes first: the file is then made
  // afresh, never opened through whatever had the name.
  if (::unlink(fresh.c_str()) != 0 && errno != ENOENT) {
    problem = systemFailure(fresh);
    return false;
  }
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    problem = systemFailure(fresh);
    return false;
  }
  bool ok = writeFully(fd, text) && ::fsync(fd) == 0;
  if (!ok) problem = systemFailure(fresh);
  if (::close(fd) != 0 && ok) {
    problem = systemFailure(fresh);
    ok = false;
  }
  if (ok && ::rename(fresh.c_str(), path_.c_str()) != 0) {
    problem = systemFailure(path_);
    ok = false;
  }
  if (!ok) {
    ::unlink(fresh.c_str());
    return false;
  }
  // The rename is durable once the folder is.
  if (const int folder = ::open(path_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

template <typename Work>
bool PendingFile::underLock(std::string& problem, Work&& work) {
  if (!unavailable_.empty()) {
    problem = unavailable_;
    return false;
  }
  if (!ensurePrivateFolder(path_.parent_path(), problem)) return false;
  if (!pause) pause = [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); };
  FileLock lock(path_, lockWait_, pause, problem);
  if (!lock.held()) return false;
  std::vector<KeptRecord> records;
  return readAll(records, problem) && work(records);
}

template <typename Change>
bool PendingFile::update(std::string& problem, Change&& change) {
  return underLock(problem, [&](std::vector<KeptRecord>& records) {
    return change(records, problem) && writeAll(records, problem);
  });
}

bool PendingFile::ready(std::string& problem) {
  // Written back as read: proves the file can be both read whole and replaced.
  return update(problem, [](auto&, std::string&) { return true; });
}

bool PendingFile::all(std::vector<KeptRecord>& found, std::string& problem) {
  return underLock(problem, [&](std::vector<KeptRecord>& records) {
    found = std::move(records);
    return true;
  });
}

bool PendingFile::recordsOf(const std::string& line, int16_t machineNo,
                            std::vector<KeptRecord>& found, std::string& problem) {
  std::vector<KeptRecord> every;
  if (!all(every, problem)) return false;
  found.clear();
  for (const KeptRecord& record : every) {
    if (record.machineNo == machineNo && sameDevice(record.line, line)) found.push_back(record);
  }
  return true;
}

bool PendingFile::keep(const KeptRecord& record, std::string& problem) {
  if (const std::string why = pendingLineProblem(record); !why.empty()) {
    problem = "the record cannot be kept in " + path_.string() + ": " + why;
    return false;
  }
  return update(problem, [&](auto& records, std::string&) {
    records.push_back(record);
    return true;
  });
}

bool PendingFile::forget(const KeptRecord& record, std::string& problem) {
  return update(problem, [&](auto& records, std::string&) {
    // One copy only: the same record read twice is two records.
    const auto kept = std::find(records.begin(), records.end(), record);
    if (kept != records.end()) records.erase(kept);
    return true;
  });
}

std::shared_ptr<PendingFile> userPendingFile() {
  std::string problem;
  const auto folder = stateFolder(problem);
  if (!folder) return PendingFile::unavailable(problem);
  return std::make_shared<PendingFile>(*folder / "pending-access-records");
}

}  // namespace solvard::tool
