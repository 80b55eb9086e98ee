// A line on a port of the host's own: it is refused without a name or a port, a failed open
// reaches the host with the port's own code and words and nothing sent, and the terminal's
// frames and replies pass through the host's reads and writes (the other native tests all run
// on such a port).
#include "native_fixture.hpp"

namespace solvard::native_testing {
namespace {

struct RefusalCase {
  const char* name;
  std::string portName;
  bool withPort;
  LineSettings settings;
  std::string message;
};

class FromPortRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(FromPortRefusals, NameWhatIsMissing) {
  const RefusalCase& c = GetParam();
  serial::ManualClock clock;
  std::unique_ptr<Port> port;
  if (c.withPort) port = std::make_unique<ScriptedLinePort>(clock);
  const auto made = Line::fromPort(c.portName, std::move(port), c.settings);
  ASSERT_FALSE(made);
  EXPECT_EQ(made.error().code(), Errc::invalid_value);
  EXPECT_EQ(made.error().message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Native, FromPortRefusals,
    ::testing::Values(
        RefusalCase{
            "NoName", "", true, {}, "the value cannot be sent to a terminal: no name for the port"},
        RefusalCase{"NoPort",
                    "radio 2",
                    false,
                    {},
                    "the value cannot be sent to a terminal: radio 2: no port given"},
        RefusalCase{"NoBaud", "radio 2", true, LineSettings{0},
                    "the value cannot be sent to a terminal: baud rate 0 is not 1 to 4000000"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OpenFailureCase {
  const char* name;
  Errc code;           // the port's
  Errc expected;       // the command's
  std::string words;   // the port's detail
  std::string detail;  // the command's error detail
};

class HostPortOpen : public NativeLineTest,
                     public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(HostPortOpen, FailureReachesTheHostWithThePortsCodeAndNothingSent) {
  const OpenFailureCase& c = GetParam();
  port->failOpen(Error(c.code, c.words));
  const auto result = DoorTerminal(line, machine(3)).openDoor();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code(), c.expected);
  EXPECT_EQ(result.error().detail(), c.detail);
  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_EQ(port->opens(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Native, HostPortOpen,
    ::testing::Values(OpenFailureCase{"InUse", Errc::port_in_use, Errc::port_in_use,
                                      "held by the radio bridge",
                                      "/dev/scripted: held by the radio bridge"},
                      OpenFailureCase{"NotFound", Errc::port_not_found, Errc::port_not_found, "",
                                      "/dev/scripted: the serial device does not exist"},
                      OpenFailureCase{"SettingsRefused", Errc::port_settings_refused,
                                      Errc::port_settings_refused, "9600 baud only",
                                      "/dev/scripted: 9600 baud only"},
                      // A code that is not a port's own is a failure of the port.
                      OpenFailureCase{"Other", Errc::no_reply, Errc::port_failed, "bridge asleep",
                                      "/dev/scripted: bridge asleep"}),
    [](const auto& info) { return std::string(info.param.name); });

// A reply that comes in pieces reaches the command whole; the port is opened for each command.
TEST_F(NativeLineTest, RepliesInPiecesPassThroughTheHostsReads) {
  answer({3, 2});
  port->answerNextFrame({{100ms, {3}}, {1100ms, {0, 0x01, 0x23}}, {1150ms, {0x45, 0x67, 0x89}}});
  ASSERT_TRUE(DoorTerminal(line, machine(3)).openDoor());
  const auto card = DoorTerminal(line, machine(3)).identity();
  ASSERT_TRUE(card) << card.error().message();
  EXPECT_EQ(card->digits(), "0123456789");
  EXPECT_EQ(port->opens(), 2);
  EXPECT_FALSE(port->isOpen());
}

}  // namespace
}  // namespace solvard::native_testing
