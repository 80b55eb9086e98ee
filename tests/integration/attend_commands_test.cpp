#include <memory>

#include "component/attend.hpp"
#include "serial/host_link.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator_fixture.hpp"
#include "ui/messages.hpp"

namespace solvard::integration {
namespace {

using automation::DateTime;
using automation::Variant;
using serial::Bytes;
using simulator::AttendTerminal;
using simulator::Fault;

constexpr uint8_t kMachine = 5;

// An attendance terminal on the simulated line, driven through an `Attend` object on the
// library's own port in real time.
class AttendCommands : public TerminalOnLine<AttendTerminal, component::Attend> {
 protected:
  AttendCommands() : TerminalOnLine(std::make_unique<AttendTerminal>(kMachine, "0123456789")) {}
};

TEST_F(AttendCommands, EveryMethodReachesTheTerminal) {
  int16_t funcId = 9;
  int16_t machine = kMachine;
  EXPECT_EQ(object.ClearMacData(kMachine), 1);
  EXPECT_EQ(object.ClearListInMac(kMachine, funcId), 1);
  EXPECT_EQ(object.DelCardNo(machine, Variant(int32_t{1234})), 1);
  EXPECT_EQ(object.SetCardFlowNo(kMachine, "12", "12345"), 1);
  EXPECT_EQ(object.AdjustDate(kMachine, DateTime{2001, 6, 29}), 1);
  EXPECT_EQ(object.AdjustTime(kMachine, Variant("09:48:32")), 1);
  EXPECT_EQ(object.GetOriginalCardNo(kMachine), "0123456789");

  EXPECT_EQ(framesSeen(), (std::vector<Bytes>{{5, 2, 0x06},
                                              {5, 2, 0x0C},
                                              {5, 5, 0x0D, 0x00, 0x12, 0x34},
                                              {5, 10, 0x0A, 0, 0, 0x01, 0x23, 0x45, 0, 0, 0x12},
                                              {5, 5, 0x09, 0x01, 0x06, 0x29},
                                              {5, 5, 0x08, 0x09, 0x48, 0x32},
                                              {5, 2, 0x0B}}));
  const AttendTerminal::State state = terminalState();
  EXPECT_EQ(state.recordsCleared, 1);
  EXPECT_EQ(state.cardListCleared, 1);
  EXPECT_EQ(state.deletedCards, (std::vector<std::string>{"001234"}));
  EXPECT_EQ(state.flowNumbers, (std::map<std::string, std::string>{{"0000012345", "000012"}}));
  EXPECT_EQ(state.date, "01-06-29");
  EXPECT_EQ(state.time, "09:48:32");
  EXPECT_EQ(funcId, 9);
  EXPECT_EQ(machine, kMachine);
  EXPECT_TRUE(reported.empty());
}

// A command refused by the library never reaches the line.
TEST_F(AttendCommands, RefusedCommandsSendNothing) {
  int16_t machine = kMachine;
  EXPECT_EQ(object.DelCardNo(machine, Variant("AB1234")), 0);
  EXPECT_EQ(object.ClearMacData(kMachine + 256), 0);
  EXPECT_EQ(object.AdjustTime(kMachine, Variant("2001-06-29")), 0);
  EXPECT_EQ(object.ClearMacData(kMachine), 1);
  EXPECT_EQ(framesSeen(), (std::vector<Bytes>{{5, 2, 0x06}}));
  EXPECT_TRUE(terminalState().deletedCards.empty());
  EXPECT_TRUE(reported.empty());
}

struct FaultCase {
  const char* name;
  Fault fault;
  bool query;  // the card-number query, else ClearMacData
  Variant result;
  std::vector<int32_t> reported;
};

class FaultyAttendTerminal : public AttendCommands,
                             public ::testing::WithParamInterface<FaultCase> {};

// A fault spoils one reply; the next command on the same line goes through.
TEST_P(FaultyAttendTerminal, EndsAsTheReplyDeserves) {
  const FaultCase& c = GetParam();
  terminal->inject(c.fault);
  const Variant result = c.query ? Variant(object.GetOriginalCardNo(kMachine))
                                 : Variant(object.ClearMacData(kMachine));
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(reported, c.reported);
  EXPECT_EQ(object.GetOriginalCardNo(kMachine), "0123456789");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultyAttendTerminal,
    ::testing::Values(
        FaultCase{
            "WrongMachine", Fault::wrongMachine(6), false, int32_t{0}, {ui::msg::kWrongMachine}},
        FaultCase{"ExtraBytes", Fault::extraBytes({0xAA, 0x55}), false, int32_t{1}, {}},
        FaultCase{"QueryWrongMachine", Fault::wrongMachine(6), true, std::string(), {}},
        FaultCase{"QueryLate", Fault::delayed(300ms), true, std::string("0123456789"), {}},
        // The first byte and three more: the rest is waited for 3 to 4 seconds.
        FaultCase{
            "QueryCutShort", Fault::partial(4), true, std::string(), {ui::msg::kReplyIncomplete}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::integration
