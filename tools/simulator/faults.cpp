#include "faults.hpp"

#include <algorithm>

namespace solvard::simulator {

void FaultPlan::add(Fault fault, FaultSchedule when) {
  std::lock_guard lock(mutex_);
  entries_.push_back({std::move(fault), when});
}

void FaultPlan::clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

PlannedReply FaultPlan::apply(Bytes reply) {
  std::lock_guard lock(mutex_);
  const int number = ++replies_;
  PlannedReply planned{std::move(reply)};
  for (auto it = entries_.begin(); it != entries_.end();) {
    const FaultSchedule& when = it->when;
    const bool due = when.kind == FaultSchedule::Kind::Every ||
                     (when.kind == FaultSchedule::Kind::Reply && when.reply == number) ||
                     when.kind == FaultSchedule::Kind::Next;
    if (!due) {
      ++it;
      continue;
    }
    const Fault& fault = it->fault;
    switch (fault.kind) {
      case Fault::Kind::Silence: planned.bytes.clear(); break;
      case Fault::Kind::Delay: planned.delay += fault.delay; break;
      case Fault::Kind::Partial:
        planned.bytes.resize(std::min(planned.bytes.size(), fault.keep));
        break;
      case Fault::Kind::WrongMachine:
        if (!planned.bytes.empty()) planned.bytes[0] = fault.machine;
        break;
      case Fault::Kind::ExtraBytes:
        planned.bytes.insert(planned.bytes.end(), fault.bytes.begin(), fault.bytes.end());
        break;
      case Fault::Kind::Garbage: planned.bytes = fault.bytes; break;
      case Fault::Kind::LineVanishes: planned.vanish = true; break;
    }
    const bool spent = when.kind != FaultSchedule::Kind::Every;
    it = spent ? entries_.erase(it) : it + 1;
  }
  return planned;
}

}  // namespace solvard::simulator
