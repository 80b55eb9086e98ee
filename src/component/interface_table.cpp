#include "component/interface_table.hpp"

#include <algorithm>
#include <array>
#include <cctype>

#include "component/identifiers.hpp"

namespace solvard::component {
namespace {

using enum ParamType;
constexpr MemberKind kMethod = MemberKind::Method;
constexpr MemberKind kLet = MemberKind::PropertyLet;
constexpr MemberKind kGet = MemberKind::PropertyGet;

constexpr Param in(std::string_view name, ParamType t) { return {name, t, false}; }
constexpr Param inOut(std::string_view name, ParamType t) { return {name, t, true}; }

// A property let takes its value as one parameter named like the property.
Member let(int slot, uint32_t dispid, std::string_view name, ParamType t) {
  return {slot, dispid, name, kLet, {in(name, t)}, Void};
}
Member get(int slot, uint32_t dispid, std::string_view name, ParamType t) {
  return {slot, dispid, name, kGet, {}, t};
}

InterfaceInfo makeAttend() {
  return {"_Attend",
          "Attend",
          ids::kAttendProgId,
          ids::kAttendInterface,
          ids::kAttendClass,
          "1.0",
          {
              let(7, 0x6803000B, "CommOutBufferSize", Int16),
              get(8, 0x6803000B, "CommOutBufferSize", Int16),
              let(9, 0x6803000A, "CommInBufferSize", Int16),
              get(10, 0x6803000A, "CommInBufferSize", Int16),
              let(11, 0x68030009, "CommBautRate", Int16),
              get(12, 0x68030009, "CommBautRate", Int16),
              let(13, 0x68030008, "CommPortID", Int16),
              get(14, 0x68030008, "CommPortID", Int16),
              {15,
               0x6003000C,
               "ClearListInMac",
               kMethod,
               {in("MachineNo", Int16), inOut("FuncID", Int16)},
               Int32},
              {16,
               0x6003000D,
               "SetCardFlowNo",
               kMethod,
               {in("MachineNo", Int16), in("FlowNo", Text), in("OriginalNo", Text)},
               Int32},
              {17, 0x6003000E, "GetOriginalCardNo", kMethod, {in("MachineNo", Int16)}, Text},
              {18,
               0x6003000F,
               "AdjustDate",
               kMethod,
               {in("MachineNo", Int16), in("inDate", Date)},
               Int32},
              {19,
               0x60030010,
               "AdjustTime",
               kMethod,
               {in("MachineNo", Int16), in("inTime", Variant)},
               Int32},
              {20, 0x60030011, "ClearMacData", kMethod, {in("MachineNo", Int16)}, Int32},
              {21, 0x60030012, "GetMacData", kMethod, {in("MachineNo", Int16)}, Int32},
              {22,
               0x60030013,
               "DelCardNo",
               kMethod,
               {inOut("MachineNo", Int16), in("WillDelCardNo", Variant)},
               Int32},
              let(23, 0x68030007, "ConnectString", Text),
              get(24, 0x68030007, "ConnectString", Text),
              let(25, 0x68030006, "GetLanRes", Variant),
          }};
}

InterfaceInfo makeProhibit() {
  return {"_Prohibit",
          "Prohibit",
          ids::kProhibitProgId,
          ids::kProhibitInterface,
          ids::kProhibitClass,
          "1.1",
          {
              {7, 0x60030001, "GetID", kMethod, {in("MachineNo", Int16)}, Text},
              {8,
               0x60030002,
               "SetResetDelay",
               kMethod,
               {in("MachineNo", Int16), inOut("iTime", Int16)},
               Bool},
              {9,
               0x60030003,
               "SetLockMode",
               kMethod,
               {in("MachineNo", Int16), inOut("iMod", Int16)},
               Bool},
              {10,
               0x60030004,
               "SetMacDateAndWeek",
               kMethod,
               {inOut("iMachineNo", Int16), inOut("iDate", Date), inOut("iFirstWeek", Int16)},
               Bool},
              {11,
               0x60030005,
               "SetMacTime",
               kMethod,
               {inOut("iMachineNo", Int16), inOut("iPara", Text)},
               Bool},
              {12,
               0x60030006,
               "GetRegisterData",
               kMethod,
               {in("iMachineNo", Int16), inOut("iConnectString", Text), inOut("iTable", Text)},
               Text},
              {13,
               0x60030007,
               "SetOpenList",
               kMethod,
               {in("MachineNo", Int16), inOut("iCardNo", Text), inOut("iFirstYear", Text),
                inOut("iLastYear", Text), inOut("iFirstTime", Text), inOut("iLastTime", Text),
                inOut("iStartWeek", Int16), inOut("iEndWeek", Int16)},
               Bool},
              {14,
               0x60030008,
               "DeleteLockList",
               kMethod,
               {in("MachineNo", Int16), inOut("iCardNo", Text)},
               Bool},
              {15, 0x60030009, "SetLockOpenState", kMethod, {in("MachineNo", Int16)}, Bool},
              {16, 0x6003000A, "ClearOpenList", kMethod, {in("MachineNo", Int16)}, Bool},
              {17, 0x6003000B, "ClearOpenRecord", kMethod, {in("MachineNo", Int16)}, Bool},
              {18, 0x6003000C, "GetLockState", kMethod, {in("MachineNo", Int16)}, Int32},
              {19, 0x6003000D, "OpenLock", kMethod, {in("MachineNo", Int16)}, Bool},
              let(20, 0x68030000, "GetLanRes", Variant),
              let(21, 0x68030011, "CommOutBufferSize", Int16),
              get(22, 0x68030011, "CommOutBufferSize", Int16),
              get(23, 0x68030010, "CommInBufferSize", Int16),
              let(24, 0x6803000F, "CommBautRate", Int16),
              get(25, 0x6803000F, "CommBautRate", Int16),
              let(26, 0x6803000E, "CommPortID", Int16),
              get(27, 0x6803000E, "CommPortID", Int16),
          }};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

const InterfaceInfo& attendInterface() {
  static const InterfaceInfo info = makeAttend();
  return info;
}

const InterfaceInfo& prohibitInterface() {
  static const InterfaceInfo info = makeProhibit();
  return info;
}

std::span<const InterfaceInfo* const> allInterfaces() {
  static const std::array<const InterfaceInfo*, 2> all = {&attendInterface(), &prohibitInterface()};
  return all;
}

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
    case Void: return "void";
    case Int16: return "int16";
    case Int32: return "int32";
    case Text: return "text";
    case Date: return "date";
    case Variant: return "variant";
    case Bool: return "boolean";
  }
  return "?";
}

std::string_view memberKindName(MemberKind k) {
  switch (k) {
    case kMethod: return "method";
    case kLet: return "let";
    case kGet: return "get";
  }
  return "?";
}

}  // namespace solvard::component
