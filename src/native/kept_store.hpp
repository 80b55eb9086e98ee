#pragma once

#include <memory>

#include "prohibit/pending_records.hpp"
#include "solvard/kept_records.hpp"

namespace solvard::detail {

// A host's kept-records store as the door download keeps records in it.
class KeptStore final : public prohibit::PendingRecords {
 public:
  explicit KeptStore(std::shared_ptr<KeptRecords> store) : store_(std::move(store)) {}

  bool ready(std::string& problem) override { return store_->ready(problem); }
  using PendingRecords::recordsOf;
  bool recordsOf(const std::string& line, int16_t machineNo,
                 std::vector<prohibit::PendingRecord>& found, std::string& problem) override;
  bool keep(const prohibit::PendingRecord& record, std::string& problem) override;
  bool forget(const prohibit::PendingRecord& record, std::string& problem) override;

 private:
  std::shared_ptr<KeptRecords> store_;
};

// Where a line without a store of the host's keeps its door records: in memory for the life of
// the process, shared by all its lines (a record goes by its device and machine number).
prohibit::PendingRecords& processKeptRecords();

}  // namespace solvard::detail
