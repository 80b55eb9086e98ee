#include "attend/original_card_no.hpp"

#include "attend/mac_function.hpp"
#include "serial/byte_value.hpp"
#include "serial/host_link.hpp"
#include "serial/notice.hpp"
#include "serial/packed_digits.hpp"

namespace solvard::attend {
namespace {

using serial::Bytes;
using serial::Link;
using serial::WaitResult;

constexpr int kFirstByteSeconds = 1;
// After the machine number the terminal has more than 3 whole seconds for the 7 bytes that
// remain; bytes already there are taken before the clock is read.
constexpr int kRestLength = 7;
constexpr int kRestSeconds = 3;
constexpr serial::WaitRule kRestWait{serial::WaitRule::Reading::WholeSeconds,
                                     serial::WaitRule::Expiry::Exceeds,
                                     serial::WaitRule::Order::CountFirst};
// The card number's digit pairs within D0 to D6; D0 and D1 are not interpreted.
constexpr std::size_t kFirstCardByte = 2;

Bytes queryFrame(Link& link, int16_t machineNo) {
  Bytes frame(3, 0);
  link.step([&] { frame[0] = serial::byteOf(machineNo); });
  frame[1] = 2;
  frame[2] = command::kReadOriginalCardNo;
  return frame;
}

// The ending of a failed query: port closed, buffers cleared, nothing returned.
std::optional<std::string> nothing(Link& link) {
  link.closeAndClear();
  return std::nullopt;
}

}  // namespace

std::string originalCardNoText(std::span<const uint8_t> afterMachineNo) {
  std::string text;
  for (std::size_t i = kFirstCardByte; i < afterMachineNo.size(); ++i) {
    text += serial::twoDigitText(afterMachineNo[i]);
  }
  return text;
}

std::optional<std::string> ReadOriginalCardNo(serial::LineState& line, int16_t machineNo,
                                              int16_t commPortId) {
  if (!addressesOneTerminal(machineNo)) return std::nullopt;

  Link link = serial::commandLink(line);
  serial::PortSetup setup = line.settings;
  setup.portNumber = commPortId;
  if (link.OpenPort(setup) == serial::OpenResult::CannotOpen) return std::nullopt;
  link.ClearBuffers();
  link.SendFrame(queryFrame(link, machineNo));

  if (link.AwaitReply(1, kFirstByteSeconds) == WaitResult::TimedOut) return nothing(link);
  const Bytes first = link.ReadReply(1);
  if (first.empty() || first.front() != machineNo) return nothing(link);

  if (link.awaitReply(kRestLength, kRestSeconds, kRestWait) == WaitResult::TimedOut) {
    link.report(serial::Notice::reply_incomplete);
    return nothing(link);
  }
  const Bytes rest = link.ReadReply(kRestLength);
  std::string text = originalCardNoText(rest);
  link.ClosePort();
  return text;
}

}  // namespace solvard::attend
