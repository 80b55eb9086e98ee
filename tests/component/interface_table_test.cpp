#include "component/interface_table.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "component/identifiers.hpp"

namespace solvard::component {
namespace {

// One line a member: slot, DISPID, name, kind, parameters (name:type, & for in/out), result.
std::vector<std::string> signatures(const InterfaceInfo& info) {
  std::vector<std::string> out;
  for (const Member& m : info.members) {
    char head[64];
    std::snprintf(head, sizeof head, "%d %08X ", m.slot, static_cast<unsigned>(m.dispid));
    std::string line =
        head + std::string(m.name) + " " + std::string(memberKindName(m.kind)) + " (";
    for (size_t i = 0; i < m.params.size(); ++i) {
      if (i) line += ", ";
      line += std::string(m.params[i].name) + ":" + std::string(paramTypeName(m.params[i].type));
      if (m.params[i].byRef) line += "&";
    }
    line += ") " + std::string(paramTypeName(m.returns));
    out.push_back(line);
  }
  return out;
}

TEST(InterfaceTableTest, AttendMembersInSlotOrder) {
  std::vector<std::string> expected = {
      "7 6803000B CommOutBufferSize let (CommOutBufferSize:int16) void",
      "8 6803000B CommOutBufferSize get () int16",
      "9 6803000A CommInBufferSize let (CommInBufferSize:int16) void",
      "10 6803000A CommInBufferSize get () int16",
      "11 68030009 CommBautRate let (CommBautRate:int16) void",
      "12 68030009 CommBautRate get () int16",
      "13 68030008 CommPortID let (CommPortID:int16) void",
      "14 68030008 CommPortID get () int16",
      "15 6003000C ClearListInMac method (MachineNo:int16, FuncID:int16&) int32",
      "16 6003000D SetCardFlowNo method (MachineNo:int16, FlowNo:text, OriginalNo:text) int32",
      "17 6003000E GetOriginalCardNo method (MachineNo:int16) text",
      "18 6003000F AdjustDate method (MachineNo:int16, inDate:date) int32",
      "19 60030010 AdjustTime method (MachineNo:int16, inTime:variant) int32",
      "20 60030011 ClearMacData method (MachineNo:int16) int32",
      "21 60030012 GetMacData method (MachineNo:int16) int32",
      "22 60030013 DelCardNo method (MachineNo:int16&, WillDelCardNo:variant) int32",
      "23 68030007 ConnectString let (ConnectString:text) void",
      "24 68030007 ConnectString get () text",
      "25 68030006 GetLanRes let (GetLanRes:variant) void",
  };
  EXPECT_EQ(signatures(attendInterface()), expected);
}

TEST(InterfaceTableTest, ProhibitMembersInSlotOrder) {
  std::vector<std::string> expected = {
      "7 60030001 GetID method (MachineNo:int16) text",
      "8 60030002 SetResetDelay method (MachineNo:int16, iTime:int16&) boolean",
      "9 60030003 SetLockMode method (MachineNo:int16, iMod:int16&) boolean",
      "10 60030004 SetMacDateAndWeek method (iMachineNo:int16&, iDate:date&, iFirstWeek:int16&) "
      "boolean",
      "11 60030005 SetMacTime method (iMachineNo:int16&, iPara:text&) boolean",
      "12 60030006 GetRegisterData method (iMachineNo:int16, iConnectString:text&, iTable:text&) "
      "text",
      "13 60030007 SetOpenList method (MachineNo:int16, iCardNo:text&, iFirstYear:text&, "
      "iLastYear:text&, iFirstTime:text&, iLastTime:text&, iStartWeek:int16&, iEndWeek:int16&) "
      "boolean",
      "14 60030008 DeleteLockList method (MachineNo:int16, iCardNo:text&) boolean",
      "15 60030009 SetLockOpenState method (MachineNo:int16) boolean",
      "16 6003000A ClearOpenList method (MachineNo:int16) boolean",
      "17 6003000B ClearOpenRecord method (MachineNo:int16) boolean",
      "18 6003000C GetLockState method (MachineNo:int16) int32",
      "19 6003000D OpenLock method (MachineNo:int16) boolean",
      "20 68030000 GetLanRes let (GetLanRes:variant) void",
      "21 68030011 CommOutBufferSize let (CommOutBufferSize:int16) void",
      "22 68030011 CommOutBufferSize get () int16",
      "23 68030010 CommInBufferSize get () int16",
      "24 6803000F CommBautRate let (CommBautRate:int16) void",
      "25 6803000F CommBautRate get () int16",
      "26 6803000E CommPortID let (CommPortID:int16) void",
      "27 6803000E CommPortID get () int16",
  };
  EXPECT_EQ(signatures(prohibitInterface()), expected);
}

TEST(InterfaceTableTest, SixDistinctIdentifiersInRegistryForm) {
  std::set<std::string_view> all = {ids::kTypeLibrary,   ids::kAttendInterface,
                                    ids::kAttendClass,   ids::kProhibitInterface,
                                    ids::kProhibitClass, ids::kProhibitInterfaceV0};
  EXPECT_EQ(all.size(), 6u);
  for (std::string_view id : all) {
    ASSERT_EQ(id.size(), 38u) << id;
    EXPECT_EQ(id.front(), '{');
    EXPECT_EQ(id.back(), '}');
    for (size_t i : {9u, 14u, 19u, 24u}) EXPECT_EQ(id[i], '-') << id;
  }
  EXPECT_EQ(prohibitInterface().iid, ids::kProhibitInterface);
  EXPECT_EQ(attendInterface().clsid, ids::kAttendClass);
}

TEST(InterfaceTableTest, LookupIgnoresCaseAndKind) {
  const Member* get = findMember(prohibitInterface(), "commbautrate", MemberKind::PropertyGet);
  const Member* let = findMember(prohibitInterface(), "COMMBAUTRATE", MemberKind::PropertyLet);
  ASSERT_NE(get, nullptr);
  ASSERT_NE(let, nullptr);
  EXPECT_EQ(get->slot, 25);
  EXPECT_EQ(let->slot, 24);
  EXPECT_EQ(findMember(attendInterface(), "GetLanRes", MemberKind::PropertyGet), nullptr);
  EXPECT_EQ(findMemberByDispid(attendInterface(), 0x60030012, MemberKind::Method)->name,
            "GetMacData");
}

}  // namespace
}  // namespace solvard::component
