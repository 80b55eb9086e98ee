#include "attend/mac_command.hpp"

#include <algorithm>

#include "serial/host_link.hpp"
#include "serial/notice.hpp"
#include "serial/packed_digits.hpp"
#include "serial/settings.hpp"
#include "values/fault.hpp"

namespace solvard::attend {
namespace {

using serial::Bytes;
using serial::Link;

constexpr int32_t kAcknowledged = 1;
constexpr int32_t kNotAcknowledged = 0;

// The terminal has 5 whole seconds to acknowledge, reached rather than exceeded, and bytes
// already waiting are taken before the clock is read.
constexpr serial::WaitRule kAcknowledgementWait{serial::WaitRule::Reading::WholeSeconds,
                                                serial::WaitRule::Expiry::Reaches,
                                                serial::WaitRule::Order::CountFirst};
constexpr int kAcknowledgementSeconds = 5;

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

void appendPairs(Bytes& values, std::string_view digits) {
  for (std::size_t at = 0; at < digits.size(); at += 2) {
    values.push_back(serial::digitPairAt(digits, at));
  }
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

Bytes cardValues(std::string_view sixDigits) {
  Bytes values;
  appendPairs(values, sixDigits);
  return values;
}

Bytes flowValues(std::string_view sixDigits, std::string_view tenDigits) {
  Bytes values;
  appendPairs(values, tenDigits);
  appendPairs(values, sixDigits);
  return values;
}

Bytes clockValues(int first, int second, int third) {
  return {serial::twoDigitNumber(first), serial::twoDigitNumber(second),
          serial::twoDigitNumber(third)};
}

Bytes macFrame(uint8_t machine, MacFunction function, const Bytes& values) {
  Bytes frame(3 + values.size());
  frame[0] = machine;
  frame[1] = static_cast<uint8_t>(values.size() + 2);
  frame[2] = commandCode(function);
  std::copy(values.begin(), values.end(), frame.begin() + 3);
  return frame;
}

int32_t sendMacFrame(serial::LineState& line, const serial::PortSetup& objectPort, uint8_t machine,
                     const std::optional<Bytes>& frame) {
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
  if (!frame) return kNotAcknowledged;
  link.SendFrame(*frame);

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
    if (reply.front() != machine) {
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
