#include "component/interface_table.hpp"

#include <algorithm>
#include <cctype>

// The tables themselves, attendInterface() to allInterfaces(), are generated from
// component/interface.toml at build time (generated/interface_members.cpp).

namespace solvard::component {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

const InterfaceInfo* findInterfaceByClass(std::string_view className) {
  for (const InterfaceInfo* info : allInterfaces()) {
    if (equalsIgnoringCase(info->className, className) ||
        equalsIgnoringCase(info->progId, className)) {
      return info;
    }
  }
  return nullptr;
}

const Member* findMember(const InterfaceInfo& info, std::string_view name, MemberKind kind) {
  for (const Member& m : info.members) {
    if (m.kind == kind && equalsIgnoringCase(m.name, name)) return &m;
  }
  return nullptr;
}

const Member* findMemberByDispid(const InterfaceInfo& info, uint32_t dispid, MemberKind kind) {
  for (const Member& m : info.members) {
    if (m.kind == kind && m.dispid == dispid) return &m;
  }
  return nullptr;
}

std::string_view paramTypeName(ParamType t) {
  switch (t) {
    case ParamType::Void: return "void";
    case ParamType::Int16: return "int16";
    case ParamType::Int32: return "int32";
    case ParamType::Text: return "text";
    case ParamType::Date: return "date";
    case ParamType::Variant: return "variant";
    case ParamType::Bool: return "boolean";
  }
  return "?";
}

std::string_view memberKindName(MemberKind k) {
  switch (k) {
    case MemberKind::Method: return "method";
    case MemberKind::PropertyLet: return "let";
    case MemberKind::PropertyGet: return "get";
  }
  return "?";
}

}  // namespace solvard::component
