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

}  // namespace solvard::detail
