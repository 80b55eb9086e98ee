#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "automation/error.hpp"
#include "automation/variant.hpp"
#include "component/interface_table.hpp"

namespace solvard::component {

// An object a late-bound host can drive: its interface table and one entry that runs a member
// by slot with arguments already coerced to the member's parameter types. In/out arguments are
// left in `args` as the member leaves them.
class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  virtual const InterfaceInfo& interfaceInfo() const = 0;
  virtual automation::Variant invokeSlot(int slot, std::vector<automation::Variant>& args) = 0;
};

// Finds the member by name (without regard to case), coerces the arguments to its parameter
// types, runs it, and writes in/out arguments back into the caller's values. Throws
// AutomationError as a failed automation call.
automation::Variant invoke(DispatchObject& object, std::string_view name, MemberKind kind,
                           std::vector<automation::Variant>& args);
automation::Variant invokeByDispid(DispatchObject& object, uint32_t dispid, MemberKind kind,
                                   std::vector<automation::Variant>& args);
automation::Variant invokeMember(DispatchObject& object, const Member& member,
                                 std::vector<automation::Variant>& args);

// The same call with the failure handed back instead of thrown, as the dispatch returns it.
struct DispatchResult {
  automation::Variant value;
  std::optional<automation::AutomationError> error;
};
DispatchResult tryInvoke(DispatchObject& object, std::string_view name, MemberKind kind,
                         std::vector<automation::Variant>& args);

// Coerces one value to a parameter type, with the automation conversion errors.
automation::Variant coerce(const automation::Variant& value, ParamType type);

}  // namespace solvard::component
