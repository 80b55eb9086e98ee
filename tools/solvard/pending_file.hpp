#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "solvard/kept_records.hpp"

namespace solvard::tool {

// Access records the database refused, kept in a small file so that the next `solvard`
// process writes them before it prompts the terminal again (the terminal forgets a record at the
// next prompt). The file is as careful as the database it stands in for:
// - each line carries a checksum (pending_text.hpp); a file that does not read whole stops
//   every door download before its first prompt, with the file and line named, and is never
//   written over;
// - each change is written to a new file created without following links, synced, and renamed
//   over the old, so a crash leaves the old file or the new one, never half of either;
// - it is read only when it is a regular file of a size kept records can have, and never
//   through a link;
// - changes are made under a lock shared by every process of the user, waited for at most
//   `lockWait`.
class PendingFile final : public KeptRecords {
 public:
  static constexpr std::chrono::milliseconds kLockWait{10'000};

  explicit PendingFile(std::filesystem::path path, std::chrono::milliseconds lockWait = kLockWait)
      : path_(std::move(path)), lockWait_(lockWait) {}
  // A keeper that cannot keep anything, for a user with no state folder: `why` says so at
  // every call, so no door is prompted.
  static std::shared_ptr<PendingFile> unavailable(std::string why);

  bool ready(std::string& problem) override;
  using KeptRecords::recordsOf;
  bool recordsOf(const std::string& line, int16_t machineNo, std::vector<KeptRecord>& found,
                 std::string& problem) override;
  bool keep(const KeptRecord& record, std::string& problem) override;
  bool forget(const KeptRecord& record, std::string& problem) override;
  // Every record kept, whichever line it belongs to.
  bool all(std::vector<KeptRecord>& found, std::string& problem);

  const std::filesystem::path& path() const { return path_; }

  // How the lock is waited for between tries (tests count the waits instead of sleeping).
  std::function<void(std::chrono::milliseconds)> pause;

 private:
  // Runs `work` on the records read whole under the lock.
  template <typename Work>
  bool underLock(std::string& problem, Work&& work);
  template <typename Change>
  bool update(std::string& problem, Change&& change);
  bool readAll(std::vector<KeptRecord>& records, std::string& problem) const;
  bool writeAll(const std::vector<KeptRecord>& records, std::string& problem) const;

  std::filesystem::path path_;
  std::chrono::milliseconds lockWait_;
  std::string unavailable_;
};

// The user's kept-records file, "pending-access-records" in the state folder (state_folder.hpp);
// a keeper that refuses every call, saying why, when the user has no state folder.
std::shared_ptr<PendingFile> userPendingFile();

}  // namespace solvard::tool
