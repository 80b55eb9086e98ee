#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace solvard::component {

// Parameter and result types of the interface, as the type library states them.
enum class ParamType { Void, Int16, Int32, Text, Date, Variant, Bool };

enum class MemberKind { Method, PropertyLet, PropertyGet };

struct Param {
  std::string_view name;
  ParamType type;
  bool byRef;  // in/out: the caller's variable receives the value the member leaves in it
};

struct Member {
  int slot;  // vtable slot; 0 to 6 belong to IDispatch
  uint32_t dispid;
  std::string_view name;
  MemberKind kind;
  std::vector<Param> params;
  ParamType returns;
};

struct InterfaceInfo {
  std::string_view name;       // "_Attend", "_Prohibit"
  std::string_view className;  // "Attend", "Prohibit"
  std::string_view progId;
  std::string_view iid;
  std::string_view clsid;
  std::string_view version;
  std::vector<Member> members;
};

// The two dual interfaces in slot order, generated from component/interface.toml, which the
// Windows type library is generated from too (and checked against these under Wine).
const InterfaceInfo& attendInterface();
const InterfaceInfo& prohibitInterface();
std::span<const InterfaceInfo* const> allInterfaces();
// By class name ("Attend") or ProgID ("Solvard.Attend"), without regard to case.
const InterfaceInfo* findInterfaceByClass(std::string_view className);

// Automation looks members up by name without regard to case.
const Member* findMember(const InterfaceInfo& info, std::string_view name, MemberKind kind);
const Member* findMemberByDispid(const InterfaceInfo& info, uint32_t dispid, MemberKind kind);

std::string_view paramTypeName(ParamType t);
std::string_view memberKindName(MemberKind k);

}  // namespace solvard::component
