#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "automation/error.hpp"
#include "component/attend.hpp"
#include "component/factory.hpp"
#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "serial/host_link.hpp"
#include "serial/scripted_port.hpp"
#include "serial/shared_port.hpp"

namespace solvard::component {
namespace {

using automation::AutomationError;
using automation::Variant;

int32_t errorNumberOf(DispatchObject& obj, const char* name, MemberKind kind,
                      std::vector<Variant> args) {
  DispatchResult r = tryInvoke(obj, name, kind, args);
  return r.error ? r.error->number() : 0;
}

TEST(DispatchTest, CoercesArgumentsWithAutomationErrors) {
  Attend a;
  struct Case {
    Variant value;
    int32_t error;
    int16_t stored;
  } cases[] = {
      {Variant("19200"), 0, 19200}, {Variant(" 2400 "), 0, 2400}, {Variant(2.5), 0, 2},
      {Variant(3.5), 0, 4},         {Variant("abc"), 13, 0},      {Variant(40000), 6, 0},
      {Variant(true), 0, -1},
  };
  for (const Case& c : cases) {
    a.setCommBautRate(1);
    int32_t err = errorNumberOf(a, "CommBautRate", MemberKind::PropertyLet, {c.value});
    EXPECT_EQ(err, c.error) << automation::toText(c.value);
    if (c.error == 0)
      EXPECT_EQ(a.CommBautRate(), c.stored) << automation::toText(c.value);
    else
      EXPECT_EQ(a.CommBautRate(), 1) << "a failed let must not store";
  }
}

TEST(DispatchTest, UnknownMemberAndWrongArgumentCount) {
  Prohibit p;
  EXPECT_EQ(errorNumberOf(p, "NoSuchMember", MemberKind::Method, {}), 438);
  EXPECT_EQ(errorNumberOf(p, "OpenLock", MemberKind::Method, {}), 450);
  EXPECT_EQ(errorNumberOf(p, "OpenLock", MemberKind::Method, {Variant(1), Variant(2)}), 450);
  // A get-only property has no let.
  EXPECT_EQ(errorNumberOf(p, "CommInBufferSize", MemberKind::PropertyLet, {Variant(5)}), 438);
}

TEST(DispatchTest, ByDispidReachesTheSameMember) {
  Prohibit p;
  std::vector<Variant> args{Variant(2400)};
  invokeByDispid(p, 0x6803000F, MemberKind::PropertyLet, args);
  std::vector<Variant> none;
  EXPECT_EQ(invokeByDispid(p, 0x6803000F, MemberKind::PropertyGet, none).get<int16_t>(), 2400);
}

// A stand-in member that adjusts its in/out argument and then fails, as a command may after it
// has written the adjusted value back to the host.
class AdjustThenFail : public DispatchObject {
 public:
  const InterfaceInfo& interfaceInfo() const override { return prohibitInterface(); }
  Variant invokeSlot(int, std::vector<Variant>& args) override {
    args[1] = Variant(int16_t{255});
    throw AutomationError(5, "Invalid procedure call or argument");
  }
};

TEST(DispatchTest, InOutArgumentsReachTheCallerAlsoOnFailure) {
  AdjustThenFail obj;
  std::vector<Variant> args{Variant(1), Variant("300")};
  DispatchResult r = tryInvoke(obj, "SetResetDelay", MemberKind::Method, args);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(args[1], Variant(int16_t{255}));
  EXPECT_EQ(args[0], Variant(1)) << "a by-value argument keeps the caller's value";
}

// A whole command through the dispatch, on the library's port replaced by a scripted one in
// virtual time, where terminal 3 acknowledges.
class DispatchOnScriptedLine : public ::testing::Test {
 protected:
  void SetUp() override {
    auto scripted = std::make_unique<serial::ScriptedPort>(clock);
    port = scripted.get();
    savedPort_ = component::replaceSharedPort(std::move(scripted));
    savedHooks_ = component::libraryHooks();
    component::libraryHooks() = {.pump = {},
                                 .reporter = [this](int32_t number) { reported.push_back(number); },
                                 .clock = &clock,
                                 .slice = std::chrono::milliseconds{5},
                                 .stopRequested = {}};
  }
  void TearDown() override {
    component::replaceSharedPort(std::move(savedPort_));
    component::libraryHooks() = savedHooks_;
  }

  serial::ManualClock clock{std::chrono::seconds(5000)};
  serial::ScriptedPort* port = nullptr;
  std::vector<int32_t> reported;

 private:
  std::unique_ptr<serial::PortControl> savedPort_;
  component::LibraryHooks savedHooks_;
};

TEST_F(DispatchOnScriptedLine, InOutArgumentsComeBackCoercedToTheirType) {
  port->answerNextFrame({{std::chrono::milliseconds(20), {3}}});
  Attend a;
  a.setCommPortID(4);
  std::vector<Variant> args{Variant("3"), Variant("17")};
  DispatchResult r = tryInvoke(a, "ClearListInMac", MemberKind::Method, args);
  ASSERT_FALSE(r.error) << r.error->description();
  EXPECT_EQ(r.value, Variant(int32_t{1}));
  EXPECT_EQ(port->framesWritten(), (std::vector<serial::Bytes>{{3, 2, 0x0C}}));
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(args[1], Variant(int16_t{17}));
  EXPECT_EQ(args[0], Variant("3")) << "MachineNo of ClearListInMac is by value";
}

TEST(FactoryTest, CreatesByClassNameOrProgId) {
  EXPECT_NE(dynamic_cast<Attend*>(createObject("Attend").get()), nullptr);
  EXPECT_NE(dynamic_cast<Prohibit*>(createObject("solvard.prohibit").get()), nullptr);
  EXPECT_EQ(createObject("Solvard.Door"), nullptr);
  EXPECT_EQ(createObject("Solvard."), nullptr);
}

}  // namespace
}  // namespace solvard::component
