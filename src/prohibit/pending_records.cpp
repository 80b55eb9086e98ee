#include "prohibit/pending_records.hpp"

#include <algorithm>
#include <utility>

namespace solvard::prohibit {
namespace {

std::shared_ptr<PendingRecords>& slot() {
  static std::shared_ptr<PendingRecords> keeper = std::make_shared<PendingRecordsInMemory>();
  return keeper;
}

}  // namespace

std::vector<PendingRecord> PendingRecordsInMemory::recordsOf(const std::string& line,
                                                             int16_t machineNo) {
  std::lock_guard lock(mutex_);
  std::vector<PendingRecord> found;
  for (const PendingRecord& kept : records_) {
    if (kept.line == line && kept.machineNo == machineNo) found.push_back(kept);
  }
  return found;
}

bool PendingRecordsInMemory::keep(const PendingRecord& record, std::string&) {
  std::lock_guard lock(mutex_);
  records_.push_back(record);
  return true;
}

bool PendingRecordsInMemory::forget(const PendingRecord& record, std::string&) {
  std::lock_guard lock(mutex_);
  // One copy only: the same record read twice is two records.
  const auto kept = std::find(records_.begin(), records_.end(), record);
  if (kept != records_.end()) records_.erase(kept);
  return true;
}

PendingRecords& pendingRecords() { return *slot(); }

std::shared_ptr<PendingRecords> setPendingRecords(std::shared_ptr<PendingRecords> keeper) {
  if (!keeper) keeper = std::make_shared<PendingRecordsInMemory>();
  return std::exchange(slot(), std::move(keeper));
}

}  // namespace solvard::prohibit
