#include "prohibit/command_exchange.hpp"

#include "serial/byte_value.hpp"
#include "serial/host_link.hpp"

namespace solvard::prohibit {
namespace {

constexpr int kReplyLength = 2;

void fillFrame(serial::Link& link, const Command& command, serial::Bytes& frame) {
  link.step([&] { frame[0] = serial::byteOf(command.machineNo); });
  link.step([&] { frame[1] = static_cast<uint8_t>(command.code); });
  if (command.payload) command.payload(link, frame);
}

// The endings that clear the buffers do so after the close, on a closed port: that clearing is
// part of the ending and never fails the command.
void closeAndClear(serial::Link& link) {
  link.ClosePort();
  link.skipFailures(true);
  link.ClearBuffers();
}

// The exchange for a command that lets no step fail silently after the open.
serial::Ending runRaisingOnFailure(serial::Link& link, const serial::PortSetup& setup,
                                   const Command& command) {
  if (link.OpenPort(setup) == serial::OpenResult::CannotOpen) {
    return serial::Ending::PortFailure;
  }
  link.skipFailures(false);
  link.ClearBuffers();
  serial::Bytes frame(command.frameLength);
  fillFrame(link, command, frame);
  link.SendFrame(frame);
  const serial::WaitResult wait = link.AwaitReply(kReplyLength, command.timeoutSeconds);
  const serial::Bytes reply =
      wait == serial::WaitResult::Arrived ? link.ReadReply(kReplyLength) : serial::Bytes{};
  if (wait == serial::WaitResult::TimedOut) {
    closeAndClear(link);
    return serial::Ending::Timeout;
  }
  if (isAcknowledgement(reply, command.machineNo)) {
    closeAndClear(link);
    return serial::Ending::Success;
  }
  link.ClosePort();
  return serial::Ending::WrongReply;
}

}  // namespace

bool isAcknowledgement(const serial::Bytes& reply, int16_t machineNo) {
  return reply.size() == std::size_t{kReplyLength} && reply[0] == machineNo &&
         reply[1] == kAcknowledged;
}

serial::Ending runCommand(serial::LineState& line, const Command& command) {
  serial::Link link = serial::commandLink(line);
  if (command.onStepFailure == OnStepFailure::Raise) {
    return runRaisingOnFailure(link, line.settings, command);
  }

  const serial::SingleExchange exchange{
      .setup = line.settings,
      .frame = serial::Bytes(command.frameLength),
      .fill = [&](serial::Link& l, serial::Bytes& frame) { fillFrame(l, command, frame); },
      .replyLength = kReplyLength,
      .timeoutSeconds = command.timeoutSeconds,
      .accepts =
          [&](const serial::Bytes& reply) { return isAcknowledgement(reply, command.machineNo); }};
  return serial::runExchange(link, exchange).ending;
}

}  // namespace solvard::prohibit
