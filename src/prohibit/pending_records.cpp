#include "prohibit/pending_records.hpp"

#include <algorithm>
#include <utility>

#include "serial/device_key.hpp"

namespace solvard::prohibit {
bool PendingRecordsInMemory::recordsOf(const std::string& line, int16_t machineNo,
                                       std::vector<PendingRecord>& found, std::string&) {
  std::lock_guard lock(mutex_);
  found.clear();
  for (const PendingRecord& kept : records_) {
    if (kept.machineNo == machineNo && serial::sameDevice(kept.line, line)) found.push_back(kept);
  }
  return true;
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

}  // namespace solvard::prohibit
