#include "native/kept_store.hpp"

#include <algorithm>
#include <mutex>
#include <string_view>

#include "prohibit/occurrence.hpp"
#include "serial/device_key.hpp"
#include "serial/network_address.hpp"
#include "solvard/line.hpp"

namespace solvard {
namespace {

KeptRecord hostRecord(const prohibit::PendingRecord& kept) {
  return {kept.line, kept.machineNo, kept.record, kept.occurrence, kept.marker};
}

prohibit::PendingRecord lineRecord(const KeptRecord& kept) {
  return {kept.line, kept.machineNo, kept.record, kept.occurrence, kept.marker};
}

class KeptInMemory final : public KeptRecords {
 public:
  using KeptRecords::recordsOf;
  bool recordsOf(const std::string& line, int16_t machineNo, std::vector<KeptRecord>& found,
                 std::string&) override {
    std::lock_guard lock(mutex_);
    found.clear();
    std::copy_if(records_.begin(), records_.end(), std::back_inserter(found),
                 [&](const KeptRecord& kept) {
                   return kept.machineNo == machineNo && serial::sameDevice(kept.line, line);
                 });
    return true;
  }
  bool keep(const KeptRecord& record, std::string&) override {
    std::lock_guard lock(mutex_);
    records_.push_back(record);
    return true;
  }
  bool forget(const KeptRecord& record, std::string&) override {
    std::lock_guard lock(mutex_);
    // One copy only: the same record read twice is two records.
    const auto kept = std::find(records_.begin(), records_.end(), record);
    if (kept != records_.end()) records_.erase(kept);
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<KeptRecord> records_;
};

}  // namespace

bool detail::KeptStore::recordsOf(const std::string& line, int16_t machineNo,
                                  std::vector<prohibit::PendingRecord>& found,
                                  std::string& problem) {
  found.clear();
  std::vector<KeptRecord> records;
  if (!store_->recordsOf(line, machineNo, records, problem)) return false;
  for (const KeptRecord& record : records) {
    // A store that answers with another door's records would have them written as this one's.
    if (record.machineNo != machineNo || !serial::sameDevice(record.line, line)) {
      problem = "the kept-records store answered with a record of terminal " +
                std::to_string(record.machineNo) + " on " + record.line + " when asked for " +
                std::to_string(machineNo) + " on " + line;
      found.clear();
      return false;
    }
    found.push_back(lineRecord(record));
  }
  return true;
}

bool detail::KeptStore::keep(const prohibit::PendingRecord& record, std::string& problem) {
  return store_->keep(hostRecord(record), problem);
}

bool detail::KeptStore::forget(const prohibit::PendingRecord& record, std::string& problem) {
  return store_->forget(hostRecord(record), problem);
}

static_assert(std::string_view(kKeptByEarlierRelease) == prohibit::kEarlierOccurrence,
              "a host's store and the download must name an earlier release's records alike");

prohibit::PendingRecords& detail::processKeptRecords() {
  static prohibit::PendingRecordsInMemory kept;
  return kept;
}

std::shared_ptr<KeptRecords> keptInMemory() { return std::make_shared<KeptInMemory>(); }

std::string deviceKey(const std::string& device) { return serial::deviceKey(device); }

bool sameDevice(const std::string& one, const std::string& other) {
  return serial::sameDevice(one, other);
}

bool isNetworkDevice(const std::string& device) { return serial::isNetworkDevice(device); }

}  // namespace solvard
