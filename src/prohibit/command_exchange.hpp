#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "prohibit/command_codes.hpp"
#include "serial/exchange.hpp"
#include "serial/line_state.hpp"
#include "serial/link.hpp"
#include "serial/machine_number.hpp"

namespace solvard::prohibit {

using serial::addressesOneTerminal;

// The terminal's acknowledgement: [machine number, 2], the first byte compared with the full
// machine number the host passed.
bool isAcknowledgement(const serial::Bytes& reply, int16_t machineNo);

// How a command treats a step that fails once the port is open.
enum class OnStepFailure {
  Skip,   // the step is skipped and the exchange goes on; a byte that fails stays 0
  Raise,  // the command ends with the error; the port stays open for the next command to close
};

// One command to one access-control terminal: a frame of fixed length, answered by the
// two-byte acknowledgement within the timeout.
struct Command {
  Command(int16_t machine, CommandCode command, std::size_t length)
      : machineNo(machine), code(command), frameLength(length) {}

  int16_t machineNo;
  CommandCode code;
  std::size_t frameLength;
  int timeoutSeconds = 1;
  // Fills bytes 2 onward of the frame; each byte as a step of its own (`Link::step`).
  std::function<void(serial::Link&, serial::Bytes& frame)> payload;
  OnStepFailure onStepFailure = OnStepFailure::Skip;
};

// Runs the single exchange on `line`'s port with its settings: open, clear, fill the frame
// (machine number, command code, payload), send, await and read the acknowledgement, then the
// ending. A setting the port refuses raises.
serial::Ending runCommand(serial::LineState& line, const Command& command);

}  // namespace solvard::prohibit
