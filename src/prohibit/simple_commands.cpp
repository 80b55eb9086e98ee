#include "prohibit/simple_commands.hpp"

#include "automation/variant.hpp"
#include "prohibit/command_exchange.hpp"

namespace solvard::prohibit {
namespace {

constexpr int kResetDelayTimeout = 3;
constexpr int16_t kLongestResetDelay = 255;
constexpr int16_t kDefaultResetDelay = 5;
// The two lock modes a terminal knows; their meaning is the terminal's.
constexpr int16_t kLockModeLow = 0;
constexpr int16_t kLockModeHigh = 255;

// A two-byte command, or a three-byte one carrying `argument`.
serial::Ending exchange(int16_t machineNo, CommandCode code) {
  return runCommand(Command(machineNo, code, 2));
}

serial::Ending exchange(int16_t machineNo, CommandCode code, int16_t argument, int timeoutSeconds) {
  Command command(machineNo, code, 3);
  command.timeoutSeconds = timeoutSeconds;
  command.payload = [argument](serial::Link& link, serial::Bytes& frame) {
    link.step([&] { frame[2] = automation::toByte(argument); });
  };
  return runCommand(command);
}

bool acknowledged(serial::Ending ending) { return ending == serial::Ending::Success; }

bool plainCommand(int16_t machineNo, CommandCode code) {
  if (!addressesOneTerminal(machineNo)) return false;
  return acknowledged(exchange(machineNo, code));
}

}  // namespace

bool SetResetDelay(int16_t MachineNo, int16_t& iTime) {
  if (iTime > kLongestResetDelay) {
    iTime = kLongestResetDelay;
  } else if (iTime < 1) {
    iTime = kDefaultResetDelay;
  }
  if (!addressesOneTerminal(MachineNo)) return false;
  return acknowledged(exchange(MachineNo, CommandCode::ResetDelay, iTime, kResetDelayTimeout));
}

bool SetLockMode(int16_t MachineNo, int16_t& iMod) {
  if (iMod != kLockModeHigh) iMod = kLockModeLow;
  if (!addressesOneTerminal(MachineNo)) return false;
  return acknowledged(exchange(MachineNo, CommandCode::LockMode, iMod, 1));
}

bool SetLockOpenState(int16_t MachineNo) {
  return plainCommand(MachineNo, CommandCode::LockOpenState);
}

bool ClearOpenRecord(int16_t MachineNo) {
  return plainCommand(MachineNo, CommandCode::ClearOpenRecord);
}

bool ClearOpenList(int16_t MachineNo) {
  return plainCommand(MachineNo, CommandCode::ClearOpenList);
}

bool OpenLock(int16_t MachineNo) { return plainCommand(MachineNo, CommandCode::OpenLock); }

int32_t GetLockState(int16_t MachineNo) {
  if (!addressesOneTerminal(MachineNo)) return 0;
  switch (exchange(MachineNo, CommandCode::LockState)) {
    case serial::Ending::Success: return 1;
    case serial::Ending::PortFailure: return -1;
    case serial::Ending::Timeout:
    case serial::Ending::WrongReply: break;
  }
  return 0;
}

}  // namespace solvard::prohibit
