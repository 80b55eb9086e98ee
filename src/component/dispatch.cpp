#include "component/dispatch.hpp"

#include "component/host_call.hpp"

namespace solvard::component {

using automation::AutomationError;
using automation::Variant;

namespace {

constexpr int32_t kMemberNotFound = 438;
constexpr int32_t kWrongArgumentCount = 450;

AutomationError memberNotFound() {
  return {kMemberNotFound, "Object doesn't support this property or method"};
}
AutomationError wrongArgumentCount() {
  return {kWrongArgumentCount, "Wrong number of arguments or invalid property assignment"};
}

}  // namespace

Variant coerce(const Variant& value, ParamType type) {
  switch (type) {
    case ParamType::Int16: return automation::toInt16(value);
    case ParamType::Int32: return automation::toInt32(value);
    case ParamType::Text: return automation::toText(value);
    case ParamType::Date: return automation::toDate(value);
    case ParamType::Bool: return automation::toBool(value);
    case ParamType::Variant:
    case ParamType::Void: return value;
  }
  return value;
}

Variant invokeMember(DispatchObject& object, const Member& member, std::vector<Variant>& args) {
  if (args.size() != member.params.size()) throw wrongArgumentCount();
  std::vector<Variant> coerced;
  coerced.reserve(args.size());
  for (size_t i = 0; i < args.size(); ++i)
    coerced.push_back(coerce(args[i], member.params[i].type));

  auto writeBack = [&] {
    for (size_t i = 0; i < args.size(); ++i) {
      if (member.params[i].byRef) args[i] = coerced[i];
    }
  };
  try {
    Variant result = hostCall([&] { return object.invokeSlot(member.slot, coerced); });
    writeBack();
    return result;
  } catch (...) {
    // A by-reference argument the member adjusted before failing has reached the caller.
    writeBack();
    throw;
  }
}

Variant invoke(DispatchObject& object, std::string_view name, MemberKind kind,
               std::vector<Variant>& args) {
  const Member* member = findMember(object.interfaceInfo(), name, kind);
  if (member == nullptr) throw memberNotFound();
  return invokeMember(object, *member, args);
}

Variant invokeByDispid(DispatchObject& object, uint32_t dispid, MemberKind kind,
                       std::vector<Variant>& args) {
  const Member* member = findMemberByDispid(object.interfaceInfo(), dispid, kind);
  if (member == nullptr) throw memberNotFound();
  return invokeMember(object, *member, args);
}

DispatchResult tryInvoke(DispatchObject& object, std::string_view name, MemberKind kind,
                         std::vector<Variant>& args) {
  try {
    return {invoke(object, name, kind, args), std::nullopt};
  } catch (const AutomationError& e) {
    return {Variant(), e};
  }
}

}  // namespace solvard::component
