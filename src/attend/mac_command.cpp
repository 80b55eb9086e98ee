#include "attend/mac_command.hpp"

#include <string>

#include "attend/mac_values.hpp"
#include "serial/host_link.hpp"
#include "serial/line_state.hpp"
#include "serial/notice.hpp"
#include "serial/packed_digits.hpp"
#include "serial/settings.hpp"
#include "values/fault.hpp"

namespace solvard::attend {
namespace {

using automation::Variant;
using serial::Bytes;
using serial::digitPairAt;
using serial::Link;
using serial::twoDigitNumber;

constexpr int32_t kAcknowledged = 1;
constexpr int32_t kNotAcknowledged = 0;

// The terminal has 5 whole seconds to acknowledge, reached rather than exceeded, and bytes
// already waiting are taken before the clock is read.
constexpr serial::WaitRule kAcknowledgementWait{serial::WaitRule::Reading::WholeSeconds,
                                                serial::WaitRule::Expiry::Reaches,
                                                serial::WaitRule::Order::CountFirst};
constexpr int kAcknowledgementSeconds = 5;

bool knownFunction(MacFunction function) {
  switch (function) {
    case MacFunction::ClearRecords:
    case MacFunction::ClearCardList:
    case MacFunction::DeleteCard:
    case MacFunction::SetFlowNo:
    case MacFunction::SetTime:
    case MacFunction::SetDate: return true;
  }
  return false;
}

// What the host gave must reach the terminal as given: a command whose values would put other
// digits or another time on the line is not sent at all.
bool valuesFit(MacFunction function, const std::optional<Variant>& first,
               const std::optional<Variant>& second) {
  switch (function) {
    case MacFunction::DeleteCard: return first && namesDigits(*first, 6);
    case MacFunction::SetFlowNo:
      return first && second && namesDigits(*first, 6) && namesDigits(*second, 10);
    case MacFunction::SetTime: return first && timeOfDay(*first).has_value();
    default: return true;
  }
}

// Frame length minus the machine number byte, as byte 1 carries it.
uint8_t followingBytes(MacFunction function) {
  switch (function) {
    case MacFunction::DeleteCard:
    case MacFunction::SetTime:
    case MacFunction::SetDate: return 5;
    case MacFunction::SetFlowNo: return 10;
    default: return 2;
  }
}

uint8_t commandCode(MacFunction function) {
  switch (function) {
    case MacFunction::ClearRecords: return command::kClearRecords;
    case MacFunction::ClearCardList: return command::kClearCardList;
    case MacFunction::DeleteCard: return command::kDeleteCard;
    case MacFunction::SetFlowNo: return command::kSetFlowNo;
    case MacFunction::SetTime: return command::kSetTime;
    case MacFunction::SetDate: return command::kSetDate;
  }
  throw detail::Fault(detail::FaultKind::invalid_argument);
}

// The frame, built fresh and one byte at a time in frame order: a byte whose computation fails
// stays 0 and the frame is still sent.
Bytes macFrame(Link& link, int16_t machineNo, MacFunction function,
               const std::optional<Variant>& first, const std::optional<Variant>& second) {
  const uint8_t following = followingBytes(function);
  Bytes frame(following + 1u, 0);
  std::size_t at = 0;
  auto put = [&](auto&& compute) {
    link.step([&] { frame.at(at) = compute(); });
    ++at;
  };
  auto textOf = [](const std::optional<Variant>& value) {
    return value ? automation::toText(*value) : std::string();
  };
  auto pairsOf = [&](const std::string& digits, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) put([&] { return digitPairAt(digits, 2 * i); });
  };

  put([&] { return automation::toByte(machineNo); });
  put([&] { return following; });
  put([&] { return commandCode(function); });
  switch (function) {
    case MacFunction::DeleteCard: pairsOf(textOf(first), 3); break;
    case MacFunction::SetFlowNo:
      pairsOf(textOf(second), 5);
      pairsOf(textOf(first), 3);
      break;
    case MacFunction::SetTime: {
      const auto time = [&] {
        const auto time = timeOfDay(first.value_or(Variant()));
        if (!time) throw detail::Fault(detail::FaultKind::type_mismatch);
        return *time;
      };
      put([&] { return twoDigitNumber(time().hour); });
      put([&] { return twoDigitNumber(time().minute); });
      put([&] { return twoDigitNumber(time().second); });
      break;
    }
    case MacFunction::SetDate: {
      const auto date = [&] { return automation::toDate(first.value_or(Variant())); };
      put([&] { return twoDigitNumber(date().year % 100); });
      put([&] { return twoDigitNumber(date().month); });
      put([&] { return twoDigitNumber(date().day); });
      break;
    }
    default: break;
  }
  return frame;
}

// Closes the port if it is open; a close that fails has nothing left to report.
void closeIfOpen(Link& link) {
  try {
    if (link.port().PortOpen()) link.port().PortOpen(false);
  } catch (const detail::Fault&) {
  }
}

}  // namespace

serial::PortSetup objectPortSetup(int16_t commPortId, int16_t commBautRate,
                                  int16_t commInBufferSize, int16_t commOutBufferSize) {
  return {commPortId, serial::settingsTextFor(commBautRate), commInBufferSize, commOutBufferSize};
}

int32_t SendMacCommand(serial::LineState& line, const serial::PortSetup& objectPort,
                       int16_t machineNo, MacFunction function, std::optional<Variant> first,
                       std::optional<Variant> second) {
  // Judged as the host gave them, since the padding would round a fraction to another number.
  if (!addressesOneTerminal(machineNo) || !valuesFit(function, first, second)) {
    return kNotAcknowledged;
  }
  if (first) first = padded(*first, "000000");
  if (second) second = padded(*second, "0000000000");

  Link link = serial::commandLink(line);
  serial::PortControl& port = link.port();
  if (port.PortOpen()) port.PortOpen(false);
  link.skipFailures();
  link.ClosePort();
  serial::applyObjectPort(link, objectPort);
  link.step([&] { port.InputLen(0); });
  // Whether it opened shows only as an acknowledgement that never comes; a native line is
  // told at once instead.
  if (!link.openIfClosed() && line.endOnOpenFailure) return kNotAcknowledged;

  if (!knownFunction(function)) return kNotAcknowledged;
  if (function == MacFunction::SetDate && !(first && automation::isDate(*first))) {
    return kNotAcknowledged;
  }
  link.SendFrame(macFrame(link, machineNo, function, first, second));

  if (link.awaitReply(1, kAcknowledgementSeconds, kAcknowledgementWait) ==
      serial::WaitResult::TimedOut) {
    link.report(serial::Notice::no_acknowledgement);
    closeIfOpen(link);
    return kNotAcknowledged;
  }
  const Bytes reply = link.ReadReply(1);

  // From here a failing step ends the command instead of being skipped.
  link.skipFailures(false);
  try {
    if (reply.empty()) {
      closeIfOpen(link);
      return kNotAcknowledged;
    }
    if (reply.front() != machineNo) {
      link.report(serial::Notice::wrong_machine);
      closeIfOpen(link);
      return kNotAcknowledged;
    }
    link.ClosePort();
    return kAcknowledged;
  } catch (const detail::Fault&) {
    closeIfOpen(link);
    return kNotAcknowledged;
  }
}

}  // namespace solvard::attend
