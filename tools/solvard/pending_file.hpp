#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "prohibit/pending_records.hpp"

namespace solvard::tool {

// Access records the database refused, kept in a small file so that the next `solvard`
// process writes them before it prompts the terminal again (the terminal forgets a record at the
// next prompt). One line a record: "<machine> <20 hex digits> <line>". Each change is written to
// a new file that replaces the old one, under a lock shared by every process of the user, so a
// crash leaves the old file or the new one, never half of either.
class PendingFile final : public prohibit::PendingRecords {
 public:
  explicit PendingFile(std::filesystem::path path) : path_(std::move(path)) {}

  std::vector<prohibit::PendingRecord> recordsOf(const std::string& line,
                                                 int16_t machineNo) override;
  bool keep(const prohibit::PendingRecord& record, std::string& problem) override;
  bool forget(const prohibit::PendingRecord& record, std::string& problem) override;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The user's state folder for the command: $XDG_STATE_HOME/solvard, else
// $HOME/.local/state/solvard; the file in it is pending-access-records.
std::filesystem::path pendingFilePath();

// Reads the lines of a pending file; lines that do not read as a record are skipped.
std::vector<prohibit::PendingRecord> readPendingText(const std::string& text);
std::string writePendingText(const std::vector<prohibit::PendingRecord>& records);

}  // namespace solvard::tool
