// The attendance terminal's short commands and the card-number query against replies whose
// every byte and its timing come from the fuzzer. Each command must end within its waits and
// give only the results its rules allow.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/date.hpp"
#include "automation/variant.hpp"
#include "component/attend.hpp"
#include "scripted_line.hpp"

using namespace solvard;
using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const uint8_t command = in.byte();
  const int16_t machine = (command & 0x80) ? int16_t{-1} : int16_t{in.byte()};
  const std::string first = in.text(16);
  const std::string second = in.text(16);

  fuzz::VirtualLine line;
  component::Attend object;
  object.setCommPortID(3);
  const fuzz::ScriptedAnswers script = fuzz::scriptAnswers(in, *line.port, 1);

  int32_t result = 0;
  switch (command % 8) {
    case 0: {
      int16_t funcId = 7;
      result = object.ClearListInMac(machine, funcId);
      fuzz::require(funcId == 7);
      break;
    }
    case 1: result = object.SetCardFlowNo(machine, first, second); break;
    case 2: {
      const std::string card = object.GetOriginalCardNo(machine);
      for (const char c : card) fuzz::require(std::isdigit(static_cast<unsigned char>(c)));
      result = card.empty() ? 0 : 1;
      break;
    }
    case 3: {
      automation::DateTime date;
      date.year = 1990 + static_cast<int>(first.size());
      date.month = 1 + second.size() % 12;
      date.day = 1 + (first.empty() ? 0 : static_cast<uint8_t>(first[0]) % 31);
      result = object.AdjustDate(machine, date);
      break;
    }
    case 4: result = object.AdjustTime(machine, automation::Variant(first)); break;
    case 5: result = object.ClearMacData(machine); break;
    case 6: {
      int16_t machineNo = machine;
      result = object.DelCardNo(machineNo, automation::Variant(first));
      fuzz::require(machineNo == machine);
      break;
    }
    default: {
      int16_t machineNo = machine;
      result = object.DelCardNo(machineNo, automation::Variant(static_cast<double>(second.size())));
      break;
    }
  }

  fuzz::require(result == 0 || result == 1);
  // A terminal that acknowledged was asked: one frame went out, and it answered.
  if (result == 1) fuzz::require(line.port->framesWritten().size() == 1);
  if (machine < 0) fuzz::require(result == 0 && line.port->framesWritten().empty());
  // The commands give up after 4 to 5 seconds without an answer.
  line.requireWaitsBounded(script, 5s + 4 * fuzz::VirtualLine::kSlice);
  return 0;
}
