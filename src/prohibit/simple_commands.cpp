#include "prohibit/simple_commands.hpp"

#include "prohibit/command_exchange.hpp"
#include "serial/byte_value.hpp"
#include "serial/line_errors.hpp"

namespace solvard::prohibit {
namespace {

constexpr int kResetDelayTimeout = 3;
constexpr int16_t kLongestResetDelay = 255;
constexpr int16_t kDefaultResetDelay = 5;
// The two lock modes a terminal knows; their meaning is the terminal's.
constexpr int16_t kLockModeLow = 0;
constexpr int16_t kLockModeHigh = 255;

// A two-byte command, or a three-byte one carrying `argument`.
serial::Ending exchange(serial::LineState& line, int16_t machineNo, CommandCode code) {
  return runCommand(line, Command(machineNo, code, 2));
}

serial::Ending exchange(serial::LineState& line, int16_t machineNo, CommandCode code,
                        int16_t argument, int timeoutSeconds) {
  Command command(machineNo, code, 3);
  command.timeoutSeconds = timeoutSeconds;
  command.payload = [argument](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = serial::byteOf(argument); });
  };
  return runCommand(line, command);
}

bool acknowledged(serial::Ending ending) { return ending == serial::Ending::Success; }

bool plainCommand(serial::LineState& line, int16_t machineNo, CommandCode code) {
  if (!addressesOneTerminal(machineNo)) return false;
  return acknowledged(exchange(line, machineNo, code));
}

Result<void> acknowledgement(const serial::LineState& line, MachineNumber machine,
                             serial::Ending ending) {
  return serial::exchangeResult(line, ending, machine.value(), "acknowledgement");
}

Result<void> plainCommand(serial::LineState& line, MachineNumber machine, CommandCode code) {
  return acknowledgement(line, machine, exchange(line, machine.value(), code));
}

}  // namespace

bool SetResetDelay(serial::LineState& line, int16_t MachineNo, int16_t& iTime) {
  if (iTime > kLongestResetDelay) {
    iTime = kLongestResetDelay;
  } else if (iTime < 1) {
    iTime = kDefaultResetDelay;
  }
  if (!addressesOneTerminal(MachineNo)) return false;
  return acknowledged(
      exchange(line, MachineNo, CommandCode::ResetDelay, iTime, kResetDelayTimeout));
}

bool SetLockMode(serial::LineState& line, int16_t MachineNo, int16_t& iMod) {
  if (iMod != kLockModeHigh) iMod = kLockModeLow;
  if (!addressesOneTerminal(MachineNo)) return false;
  return acknowledged(exchange(line, MachineNo, CommandCode::LockMode, iMod, 1));
}

bool SetLockOpenState(serial::LineState& line, int16_t MachineNo) {
  return plainCommand(line, MachineNo, CommandCode::LockOpenState);
}

bool ClearOpenRecord(serial::LineState& line, int16_t MachineNo) {
  return plainCommand(line, MachineNo, CommandCode::ClearOpenRecord);
}

bool ClearOpenList(serial::LineState& line, int16_t MachineNo) {
  return plainCommand(line, MachineNo, CommandCode::ClearOpenList);
}

bool OpenLock(serial::LineState& line, int16_t MachineNo) {
  return plainCommand(line, MachineNo, CommandCode::OpenLock);
}

int32_t GetLockState(serial::LineState& line, int16_t MachineNo) {
  if (!addressesOneTerminal(MachineNo)) return 0;
  switch (exchange(line, MachineNo, CommandCode::LockState)) {
    case serial::Ending::Success: return 1;
    case serial::Ending::PortFailure: return -1;
    case serial::Ending::Timeout:
    case serial::Ending::WrongReply: break;
  }
  return 0;
}

Result<void> setResetDelay(serial::LineState& line, MachineNumber machine, uint8_t seconds) {
  return acknowledgement(
      line, machine,
      exchange(line, machine.value(), CommandCode::ResetDelay, seconds, kResetDelayTimeout));
}

Result<void> setLockMode(serial::LineState& line, MachineNumber machine, uint8_t mode) {
  return acknowledgement(line, machine,
                         exchange(line, machine.value(), CommandCode::LockMode, mode, 1));
}

Result<void> holdLockOpen(serial::LineState& line, MachineNumber machine) {
  return plainCommand(line, machine, CommandCode::LockOpenState);
}

Result<void> clearOpenRecord(serial::LineState& line, MachineNumber machine) {
  return plainCommand(line, machine, CommandCode::ClearOpenRecord);
}

Result<void> clearOpenList(serial::LineState& line, MachineNumber machine) {
  return plainCommand(line, machine, CommandCode::ClearOpenList);
}

Result<void> openLock(serial::LineState& line, MachineNumber machine) {
  return plainCommand(line, machine, CommandCode::OpenLock);
}

Result<void> lockState(serial::LineState& line, MachineNumber machine) {
  return plainCommand(line, machine, CommandCode::LockState);
}

}  // namespace solvard::prohibit
