#include <gtest/gtest.h>

#include "component/attend.hpp"
#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "serial/settings.hpp"

namespace solvard::component {
namespace {

using component::librarySettings;

TEST(PortPropertiesTest, FreshAttendReadsDefaults) {
  Attend a;
  EXPECT_EQ(a.CommPortID(), 0);
  EXPECT_EQ(a.CommBautRate(), 9600);
  EXPECT_EQ(a.CommInBufferSize(), 1024);
  EXPECT_EQ(a.CommOutBufferSize(), 512);
  EXPECT_EQ(a.ConnectString(), "");
}

struct LetCase {
  const char* property;
  int16_t let;
  int16_t expected;
};

class AttendLetTest : public ::testing::TestWithParam<LetCase> {};

TEST_P(AttendLetTest, StoresValueWithZeroMeaningDefault) {
  const LetCase& c = GetParam();
  Attend a;
  std::vector<automation::Variant> args{automation::Variant(c.let)};
  invoke(a, c.property, MemberKind::PropertyLet, args);
  std::vector<automation::Variant> none;
  EXPECT_EQ(invoke(a, c.property, MemberKind::PropertyGet, none).get<int16_t>(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AttendLetTest,
    ::testing::Values(LetCase{"CommBautRate", 0, 9600}, LetCase{"CommBautRate", 19200, 19200},
                      LetCase{"CommBautRate", -1, -1}, LetCase{"CommInBufferSize", 0, 1024},
                      LetCase{"CommInBufferSize", 2048, 2048}, LetCase{"CommOutBufferSize", 0, 512},
                      LetCase{"CommOutBufferSize", -5, -5}, LetCase{"CommPortID", 0, 0},
                      LetCase{"CommPortID", -3, -3}, LetCase{"commportid", 7, 7}));

TEST(PortPropertiesTest, ProhibitLetsWriteLibraryWideSettingsAttendLetsDoNot) {
  Prohibit p;
  p.setCommBautRate(19200);
  p.setCommPortID(4);
  EXPECT_EQ(librarySettings().settingsText, "19200,N,8,1");
  EXPECT_EQ(librarySettings().portNumber, 4);

  p.setCommBautRate(0);
  EXPECT_EQ(p.CommBautRate(), 9600);
  EXPECT_EQ(librarySettings().settingsText, "9600,N,8,1");

  Attend a;  // creation resets the library-wide settings
  librarySettings().portNumber = 4;
  a.setCommBautRate(2400);
  a.setCommPortID(9);
  EXPECT_EQ(librarySettings().settingsText, "9600,N,8,1");
  EXPECT_EQ(librarySettings().portNumber, 4);
  EXPECT_EQ(a.CommBautRate(), 2400);
}

TEST(PortPropertiesTest, ProhibitInBufferSizeIsReadOnly1024AndOutBufferKeepsRule) {
  Prohibit p;
  EXPECT_EQ(p.CommInBufferSize(), 1024);
  EXPECT_EQ(findMember(p.interfaceInfo(), "CommInBufferSize", MemberKind::PropertyLet), nullptr);
  p.setCommOutBufferSize(0);
  EXPECT_EQ(p.CommOutBufferSize(), 512);
  p.setCommOutBufferSize(100);
  EXPECT_EQ(p.CommOutBufferSize(), 100);
}

TEST(PortPropertiesTest, CreatingEitherClassResetsLibraryWideSettings) {
  for (int cls = 0; cls < 2; ++cls) {
    {
      Prohibit p;
      p.setCommPortID(3);
      p.setCommBautRate(4800);
    }
    librarySettings().inBufferSize = 77;
    librarySettings().outBufferSize = 88;
    if (cls == 0) {
      Attend a;
    } else {
      Prohibit p;
    }
    EXPECT_EQ(librarySettings().portNumber, 0) << cls;
    EXPECT_EQ(librarySettings().settingsText, "9600,N,8,1") << cls;
    EXPECT_EQ(librarySettings().inBufferSize, 1024) << cls;
    EXPECT_EQ(librarySettings().outBufferSize, 512) << cls;
  }
}

TEST(PortPropertiesTest, ConnectStringKeepsACopyPerObject) {
  Attend a, b;
  std::string text = "Driver=SQLite3;Database=x.db";
  a.setConnectString(text);
  text.clear();
  EXPECT_EQ(a.ConnectString(), "Driver=SQLite3;Database=x.db");
  EXPECT_EQ(b.ConnectString(), "");
}

}  // namespace
}  // namespace solvard::component
