// The access-control terminal's commands and its identity against replies whose every byte and
// its timing come from the fuzzer, with the commands' values from the fuzzer too. Each command
// must end within its waits, give only the results its rules allow, and fail, if at all, with
// an automation error that says why.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/date.hpp"
#include "automation/error.hpp"
#include "component/prohibit.hpp"
#include "scripted_line.hpp"

using namespace solvard;
using namespace std::chrono_literals;

namespace {

bool allDigits(const std::string& text) {
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const uint8_t command = in.byte();
  const int16_t machine = static_cast<int16_t>(in.word() % 320);
  const int16_t value = static_cast<int16_t>(in.word());
  std::string first = in.text(24);
  std::string second = in.text(24);

  fuzz::VirtualLine line;
  component::Prohibit object;
  object.setCommPortID(3);
  const fuzz::ScriptedAnswers script = fuzz::scriptAnswers(in, *line.port, 2);

  // A machine number outside 0 to 255 is refused before the port is touched.
  const bool sentNothing = machine > 255 && command % 13 != 12;
  try {
    switch (command % 13) {
      case 0: {
        const std::string id = object.GetID(machine);
        fuzz::require(allDigits(id));
        fuzz::require(!(machine > 255 && !id.empty()));
        break;
      }
      case 1: {
        int16_t time = value;
        (void)object.SetResetDelay(machine, time);
        // The delay the terminal is sent is a byte, and never 0.
        if (machine <= 255) fuzz::require(time >= 1 && time <= 255);
        break;
      }
      case 2: {
        int16_t mode = value;
        (void)object.SetLockMode(machine, mode);
        if (machine <= 255) fuzz::require(mode == 0 || mode == 255);
        break;
      }
      case 3: {
        int16_t machineNo = machine;
        automation::DateTime date;
        date.year = 1990 + value % 120;
        date.month = 1 + static_cast<uint8_t>(value >> 8) % 14;
        date.day = 1 + static_cast<int>(first.size());
        int16_t weekday = static_cast<int16_t>(second.size());
        (void)object.SetMacDateAndWeek(machineNo, date, weekday);
        break;
      }
      case 4: {
        int16_t machineNo = machine;
        (void)object.SetMacTime(machineNo, first);
        break;
      }
      case 5: {
        std::string last = second;
        std::string from = first.substr(0, first.size() / 2);
        std::string to = second.substr(0, second.size() / 2);
        int16_t startWeek = static_cast<int16_t>(value & 0xFF);
        int16_t endWeek = static_cast<int16_t>(value >> 8);
        (void)object.SetOpenList(machine, first, second, last, from, to, startWeek, endWeek);
        break;
      }
      case 6: (void)object.DeleteLockList(machine, first); break;
      case 7: (void)object.SetLockOpenState(machine); break;
      case 8: (void)object.ClearOpenList(machine); break;
      case 9: (void)object.ClearOpenRecord(machine); break;
      case 10: {
        const int32_t state = object.GetLockState(machine);
        fuzz::require(state >= -1 && state <= 1);
        break;
      }
      case 11: (void)object.OpenLock(machine); break;
      default: {
        // The identity on a machine number as the host may pass it, through the dispatch.
        std::vector<automation::Variant> args{automation::Variant(first)};
        const component::Member* m =
            component::findMember(object.interfaceInfo(), "GetID", component::MemberKind::Method);
        fuzz::require(m != nullptr);
        (void)component::invokeMember(object, *m, args);
        break;
      }
    }
  } catch (const automation::AutomationError&) {
    // A value the library refuses, or a setting the port refuses: an error the host can read.
  }

  if (sentNothing) fuzz::require(line.port->framesWritten().empty());
  // The commands give up after 1 to 2 seconds, the delay after 3 to 4, the identity's second
  // piece after 3 to 4 more.
  line.requireWaitsBounded(script, 4s + 4 * fuzz::VirtualLine::kSlice);
  return 0;
}
