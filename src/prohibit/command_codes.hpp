#pragma once

#include <cstdint>

namespace solvard::prohibit {

// Byte 1 of every frame an access-control terminal obeys.
enum class CommandCode : uint8_t {
  RecordPrompt = 0x01,
  ResetDelay = 0x02,
  LockMode = 0x03,
  OpenListEntry = 0x04,
  OpenListDelete = 0x05,
  DateAndWeek = 0x06,
  TimeOfDay = 0x07,
  LockOpenState = 0x08,
  ClearOpenRecord = 0x0A,
  ClearOpenList = 0x0B,
  Identity = 0x0C,
  LockState = 0x10,
  OpenLock = 0x11,
};

// The second byte of the terminal's acknowledgement, whatever the command was.
inline constexpr uint8_t kAcknowledged = 2;

}  // namespace solvard::prohibit
