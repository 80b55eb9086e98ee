#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "component/dispatch.hpp"
#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "prohibit_fixture.hpp"
#include "ui/host_reports.hpp"
#include "ui/presenter.hpp"

namespace solvard::prohibit::testing {
namespace {

using automation::Variant;

// A message the host cannot show costs the message, never the command: the command returns
// what it would have returned, and the log says which message was lost and why.
struct UnshownCase {
  const char* name;
  const char* member;
  bool portOpens;
  Bytes reply;  // what terminal 3 answers, at once; empty: nothing
  Variant result;
  std::vector<std::string> log;
};

class ProhibitObject : public ProhibitTest {
 protected:
  void SetUp() override {
    ProhibitTest::SetUp();
    // Through the library's message box and the host's presenter, not the fixture's reporter.
    component::libraryHooks().reporter = nullptr;
    prohibit.setCommPortID(3);
  }

  component::Prohibit prohibit;
};

class UnshownMessage : public ProhibitObject, public ::testing::WithParamInterface<UnshownCase> {};

TEST_P(UnshownMessage, TheCommandGoesOnToItsResult) {
  const UnshownCase& c = GetParam();
  port->failOpen(!c.portOpens);
  if (!c.reply.empty()) answer(c.reply, 0ms);
  std::vector<std::string> logged;
  ui::ScopedLogSink sink([&](const std::string& line) { logged.push_back(line); });
  ui::ScopedPresenter failing(
      [](const ui::MessageBoxView&) -> ui::Choice { throw std::runtime_error("no display"); });

  std::vector<Variant> args{Variant(int16_t{3})};
  const component::DispatchResult r =
      component::tryInvoke(prohibit, c.member, component::MemberKind::Method, args);

  EXPECT_FALSE(r.error.has_value()) << r.error->description();
  EXPECT_EQ(r.value, c.result);
  EXPECT_EQ(logged, c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, UnshownMessage,
    ::testing::Values(UnshownCase{"OpenLockOnAPortThatWillNotOpen",
                                  "OpenLock",
                                  false,
                                  {},
                                  Variant(false),
                                  {"the port cannot be opened: Port unavailable: scripted to fail",
                                   "message 61206 could not be shown (no display)"}},
                      // The identity's second piece comes two bytes short of six.
                      UnshownCase{"IdentityCutShort",
                                  "GetID",
                                  true,
                                  {3, 0x55, 0x01, 0x23, 0x45},
                                  Variant(""),
                                  {"message 61207 could not be shown (no display)"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A host's own reporter that fails loses its message the same way.
TEST_F(ProhibitObject, AFailingHostReporterLosesOnlyItsMessage) {
  component::libraryHooks().reporter = [](int32_t) { throw 7; };
  port->failOpen();
  std::vector<std::string> logged;
  ui::ScopedLogSink sink([&](const std::string& line) { logged.push_back(line); });
  std::vector<Variant> args{Variant(int16_t{3})};
  const component::DispatchResult r =
      component::tryInvoke(prohibit, "OpenLock", component::MemberKind::Method, args);
  EXPECT_FALSE(r.error.has_value());
  EXPECT_EQ(r.value, Variant(false));
  EXPECT_EQ(logged, (std::vector<std::string>{
                        "the port cannot be opened: Port unavailable: scripted to fail",
                        "message 61206 could not be shown (unknown failure)"}));
}

}  // namespace
}  // namespace solvard::prohibit::testing
