#include <optional>

#include "automation/error.hpp"
#include "link_fixture.hpp"

namespace solvard::serial::testing {
namespace {

// Host code run from the message loop during a wait tries to start another command.
class Reentrancy : public LinkTest {
 protected:
  void pumpTurn() override {
    if (++pumpTurns != 3) return;
    try {
      Link second = makeLink();
      second.OpenPort(setup);
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      refusal = error;
    }
  }
  std::optional<automation::AutomationError> refusal;
};

TEST_F(Reentrancy, SecondCommandIsRefusedAndTheWaitingOneGoesOn) {
  port.answerNextFrame({{400ms, {3, 2}}});
  {
    Link link = makeLink();
    link.OpenPort(setup);
    link.SendFrame(Bytes{3, 0x11});
    const std::size_t before = port.log().size();
    EXPECT_EQ(link.AwaitReply(2, 1), WaitResult::Arrived);
    EXPECT_EQ(port.log().size(), before) << "the refused command touched the port";
    EXPECT_EQ(link.ReadReply(2), (Bytes{3, 2}));
    EXPECT_TRUE(port.PortOpen());
  }
  ASSERT_TRUE(refusal.has_value());
  EXPECT_EQ(refusal->number(), 8005);
  EXPECT_EQ(refusal->description(), "Port already open: another command is using the serial port");
  EXPECT_NO_THROW(makeLink()) << "the port stays held after the command ended";
}

}  // namespace
}  // namespace solvard::serial::testing
