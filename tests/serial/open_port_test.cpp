#include "automation/error.hpp"
#include "link_fixture.hpp"
#include "serial/port_values.hpp"

namespace solvard::serial::testing {
namespace {

struct Refusal {
  const char* name;
  PortSetup setup;
  int32_t number;
  std::string description;
};

class RefusedSetting : public LinkTest, public ::testing::WithParamInterface<Refusal> {};

// A value the port refuses ends the command before the open attempt: raised, nothing sent,
// nothing shown.
TEST_P(RefusedSetting, RaisesBeforeTheOpen) {
  const Refusal& c = GetParam();
  Link link = makeLink();
  try {
    link.OpenPort(c.setup);
    FAIL() << "accepted";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), c.number);
    EXPECT_EQ(error.description(), c.description);
  }
  EXPECT_FALSE(port.PortOpen());
  EXPECT_TRUE(reported.empty());
  EXPECT_FALSE(link.skippingFailures());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RefusedSetting,
    ::testing::Values(
        Refusal{"PortZero", {0, "9600,N,8,1", 1024, 512}, 8002, "Invalid port number"},
        Refusal{"PortNegative", {-2, "9600,N,8,1", 1024, 512}, 8002, "Invalid port number"},
        Refusal{"SettingsText", {1, "abc", 1024, 512}, 380, "Invalid property value"},
        Refusal{"InBufferTooBig", {1, "9600,N,8,1", 40000, 512}, 6, "Overflow"},
        Refusal{"OutBufferTooBig", {1, "9600,N,8,1", 1024, -40000}, 6, "Overflow"},
        Refusal{"InBufferEmpty", {1, "9600,N,8,1", 0, 512}, 380, "Invalid property value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkTest, OpenPortClosesAnOpenPortBeforeApplying) {
  Link link = makeLink();
  link.OpenPort(setup);
  port.arriveNow({9});
  ASSERT_EQ(link.OpenPort(setup), OpenResult::Opened);
  std::vector<std::string> expected = openLines();
  expected.push_back("PortOpen false");
  const auto again = openLines();
  expected.insert(expected.end(), again.begin(), again.end());
  EXPECT_EQ(port.log(), expected);
  EXPECT_EQ(port.discardedAtClose(), Bytes{9});
}

TEST_F(LinkTest, SilentOpenFailureShowsNothing) {
  port.failOpen();
  Link link = makeLink();
  EXPECT_EQ(link.OpenPort(setup, OnOpenFailure::Silent), OpenResult::CannotOpen);
  EXPECT_TRUE(reported.empty());
  EXPECT_TRUE(link.skippingFailures());
}

// From the open attempt on a failing step is skipped: a write that fails shows up only as the
// reply that never comes, a clear that fails does not stop the exchange.
TEST_F(LinkTest, FailingStepsAreSkippedAfterTheOpen) {
  port.failOperation("Output");
  port.failOperation("OutBufferCount");
  Link link = makeLink();
  ASSERT_EQ(link.OpenPort(setup), OpenResult::Opened);
  link.ClearBuffers();
  link.SendFrame(Bytes{3, 0x11});
  EXPECT_EQ(link.AwaitReply(2, 1), WaitResult::TimedOut);
  link.ClosePort();
  EXPECT_EQ(link.ReadReply(2), Bytes{});
  const std::vector<std::string> tail(port.log().end() - 7, port.log().end());
  EXPECT_EQ(tail, (std::vector<std::string>{"PortOpen true", "InBufferCount 0",
                                            "OutBufferCount 0 failed", "Output 03 11 failed",
                                            "PortOpen false", "InputLen 2", "Input failed"}));
}

// A command that prepares the port under the skip-on-failure rule applies every setting it
// can, each on its own.
TEST_F(LinkTest, SettingsUnderTheRuleAreSkippedOneByOne) {
  Link link = makeLink();
  link.skipFailures();
  link.applySettings({0, "abc", 40000, 256});
  EXPECT_EQ(port.log(), (std::vector<std::string>{"CommPort 0 failed", "Settings abc failed",
                                                  "OutBufferSize 256", "InputMode 1"}));
}

TEST(ParseSettings, ReadsTheFourFields) {
  EXPECT_EQ(parseSettings("9600,N,8,1"), (LineSettings{9600, Parity::None, 8, 1}));
  EXPECT_EQ(parseSettings("19200,e,7,2"), (LineSettings{19200, Parity::Even, 7, 2}));
  EXPECT_EQ(parseSettings("2400,O,8,1"), (LineSettings{2400, Parity::Odd, 8, 1}));
  EXPECT_EQ(parseSettings("110,M,8,1"), (LineSettings{110, Parity::Mark, 8, 1}));
  EXPECT_EQ(parseSettings("300,s,7,1"), (LineSettings{300, Parity::Space, 7, 1}));
  for (const char* text :
       {"abc", "", "9600,N,8", "9600,N,8,1,", "9600,X,8,1", "9600,N,9,1", "9600,N,8,3", "0,N,8,1",
        "-9600,N,8,1", " 9600,N,8,1", "9600,NN,8,1", "99999999999,N,8,1", "9600;N;8;1"}) {
    EXPECT_THROW(parseSettings(text), detail::Fault) << text;
  }
}

}  // namespace
}  // namespace solvard::serial::testing
