#include <functional>
#include <string>
#include <vector>

#include "automation/error.hpp"
#include "component/prohibit_clock.hpp"
#include "component/prohibit_commands.hpp"
#include "component/prohibit_open_list.hpp"
#include "prohibit/clock_commands.hpp"
#include "prohibit/open_list.hpp"
#include "prohibit/simple_commands.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

// Every command for machine `m`, with arguments that are otherwise fine; the result as the
// host's value (booleans -1 / 0).
const std::vector<std::pair<const char*, std::function<int32_t(int16_t)>>>& commandsFor() {
  static const std::vector<std::pair<const char*, std::function<int32_t(int16_t)>>> commands = {
      {"SetResetDelay",
       [](int16_t m) {
         int16_t time = 5;
         return SetResetDelay(m, time) ? -1 : 0;
       }},
      {"SetLockMode",
       [](int16_t m) {
         int16_t mode = 255;
         return SetLockMode(m, mode) ? -1 : 0;
       }},
      {"SetLockOpenState", [](int16_t m) { return SetLockOpenState(m) ? -1 : 0; }},
      {"ClearOpenRecord", [](int16_t m) { return ClearOpenRecord(m) ? -1 : 0; }},
      {"ClearOpenList", [](int16_t m) { return ClearOpenList(m) ? -1 : 0; }},
      {"GetLockState", [](int16_t m) { return GetLockState(m); }},
      {"OpenLock", [](int16_t m) { return OpenLock(m) ? -1 : 0; }},
      {"SetMacTime", [](int16_t m) { return SetMacTime(m, "13:05:09") ? -1 : 0; }},
      {"SetOpenList",
       [](int16_t m) {
         std::string card = "12345";
         return SetOpenList(m, card, "2001-06-29", "2002-12-31", "08:30", "17:45", 1, 5) ? -1 : 0;
       }},
      {"DeleteLockList",
       [](int16_t m) {
         std::string card = "12345";
         return DeleteLockList(m, card) ? -1 : 0;
       }},
  };
  return commands;
}

using MachineNumber = ProhibitTest;

// A number that does not fit byte 0 would put another terminal's address on the line.
TEST_F(MachineNumber, OutsideAByteIsRefusedBeforeThePortIsTouched) {
  for (const int16_t machine :
       {int16_t{-1}, int16_t{256}, int16_t{259}, int16_t{-32768}, int16_t{32767}}) {
    for (const auto& [name, run] : commandsFor()) {
      SCOPED_TRACE(std::string(name) + " for " + std::to_string(machine));
      answer({static_cast<uint8_t>(machine), 2});
      EXPECT_EQ(run(machine), 0);
    }
  }
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(reported.empty());
}

TEST_F(MachineNumber, OutsideAByteRaisesOverflowForTheDateBeforeThePortIsTouched) {
  for (const int16_t machine : {int16_t{-1}, int16_t{256}, int16_t{32767}}) {
    try {
      SetMacDateAndWeek(machine, {2001, 6, 29}, 5);
      ADD_FAILURE() << machine << " must raise";
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      EXPECT_EQ(error.number(), 6) << machine;
    }
  }
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(reported.empty());
}

TEST_F(MachineNumber, EndsOfTheByteAddressTheirTerminal) {
  for (const int16_t machine : {int16_t{0}, int16_t{255}}) {
    const auto byte = static_cast<uint8_t>(machine);
    for (const auto& [name, run] : commandsFor()) {
      SCOPED_TRACE(std::string(name) + " for " + std::to_string(machine));
      answer({byte, 2});
      EXPECT_NE(run(machine), 0);
      EXPECT_EQ(port->framesWritten().back().front(), byte);
    }
    answer({byte, 2});
    EXPECT_TRUE(SetMacDateAndWeek(machine, {2001, 6, 29}, 5));
    EXPECT_EQ(port->framesWritten().back().front(), byte);
  }
}

}  // namespace
}  // namespace solvard::prohibit::testing
