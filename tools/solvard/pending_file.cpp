#include "pending_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

constexpr char kHex[] = "0123456789abcdef";
constexpr std::size_t kRecordLength = 10;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Holds the user's lock on the pending file for as long as it lives.
class FileLock {
 public:
  explicit FileLock(const fs::path& path)
      : fd_(::open((path.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

std::vector<prohibit::PendingRecord> readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return readPendingText(text.str());
}

bool writeAll(const fs::path& path, const std::vector<prohibit::PendingRecord>& records,
              std::string& problem) {
  const fs::path fresh = path.string() + ".new";
  const std::string text = writePendingText(records);
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            ::fsync(fd) == 0;
  if (!ok) problem = fresh.string() + ": " + std::strerror(errno);
  if (fd >= 0) ::close(fd);
  if (ok && std::rename(fresh.c_str(), path.c_str()) != 0) {
    problem = path.string() + ": " + std::strerror(errno);
    ok = false;
  }
  return ok;
}

// Runs `change` on the records under the lock and writes them back.
template <typename Change>
bool update(const fs::path& path, std::string& problem, Change&& change) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  FileLock lock(path);
  if (!lock.held()) {
    problem = path.string() + ".lock cannot be held: " + std::strerror(errno);
    return false;
  }
  std::vector<prohibit::PendingRecord> records = readAll(path);
  change(records);
  return writeAll(path, records, problem);
}

}  // namespace

std::vector<prohibit::PendingRecord> readPendingText(const std::string& text) {
  std::vector<prohibit::PendingRecord> records;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    long machine = -1;
    std::string hex;
    if (!(fields >> machine >> hex) || machine < 0 || machine > 255 ||
        hex.size() != 2 * kRecordLength) {
      continue;
    }
    prohibit::PendingRecord record;
    record.machineNo = static_cast<int16_t>(machine);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      const int high = hexValue(hex[i]);
      const int low = hexValue(hex[i + 1]);
      if (high < 0 || low < 0) break;
      record.record.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    std::getline(fields >> std::ws, record.line);
    if (record.record.size() == kRecordLength && !record.line.empty()) records.push_back(record);
  }
  return records;
}

std::string writePendingText(const std::vector<prohibit::PendingRecord>& records) {
  std::string text;
  for (const prohibit::PendingRecord& record : records) {
    // A device path with a line break could not be read back as one line: such a record is
    // not written to the file (it stays with the caller's log).
    if (record.line.find_first_of("\r\n") != std::string::npos) continue;
    text += std::to_string(record.machineNo) + ' ';
    for (const uint8_t byte : record.record) {
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    }
    text += ' ' + record.line + '\n';
  }
  return text;
}

std::vector<prohibit::PendingRecord> PendingFile::recordsOf(const std::string& line,
                                                            int16_t machineNo) {
  FileLock lock(path_);
  std::vector<prohibit::PendingRecord> found;
  for (const prohibit::PendingRecord& record : readAll(path_)) {
    if (record.line == line && record.machineNo == machineNo) found.push_back(record);
  }
  return found;
}

bool PendingFile::keep(const prohibit::PendingRecord& record, std::string& problem) {
  if (record.line.find_first_of("\r\n") != std::string::npos ||
      record.record.size() != kRecordLength) {
    problem = "the record cannot be written to " + path_.string();
    return false;
  }
  return update(path_, problem, [&](auto& records) { records.push_back(record); });
}

bool PendingFile::forget(const prohibit::PendingRecord& record, std::string& problem) {
  return update(path_, problem, [&](auto& records) {
    const auto kept = std::find(records.begin(), records.end(), record);
    if (kept != records.end()) records.erase(kept);
  });
}

fs::path pendingFilePath() {
  fs::path folder;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    folder = state;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    folder = fs::path(home) / ".local" / "state";
  } else {
    folder = fs::temp_directory_path();
  }
  return folder / "solvard" / "pending-access-records";
}

}  // namespace solvard::tool
