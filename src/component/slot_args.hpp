#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "automation/variant.hpp"

namespace solvard::component {

// An in/out argument of a dispatched call: the member works on `value`, and whatever it leaves
// there reaches the caller's variable, also when the member ends with an error, as a by-reference
// argument would.
template <typename T>
class RefArg {
 public:
  RefArg(automation::Variant& slot) : slot_(slot), value(slot.get<T>()) {}
  ~RefArg() { slot_ = automation::Variant(value); }
  RefArg(const RefArg&) = delete;
  RefArg& operator=(const RefArg&) = delete;

 private:
  automation::Variant& slot_;

 public:
  T value;
};

// Typed access to the coerced arguments of a dispatched call.
class SlotArgs {
 public:
  explicit SlotArgs(std::vector<automation::Variant>& args) : args_(args) {}

  int16_t i16(size_t i) const { return args_.at(i).get<int16_t>(); }
  std::string text(size_t i) const { return args_.at(i).get<std::string>(); }
  automation::DateTime date(size_t i) const { return args_.at(i).get<automation::DateTime>(); }
  const automation::Variant& variant(size_t i) const { return args_.at(i); }
  automation::Variant& slot(size_t i) { return args_.at(i); }

 private:
  std::vector<automation::Variant>& args_;
};

}  // namespace solvard::component
