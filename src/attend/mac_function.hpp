#pragma once

#include <cstdint>

#include "serial/machine_number.hpp"

namespace solvard::attend {

// The function codes by which the attendance methods select what `SendMacCommand` sends.
enum class MacFunction : int16_t {
  ClearRecords = 2,   // ClearMacData
  ClearCardList = 3,  // ClearListInMac
  DeleteCard = 4,     // DelCardNo
  SetFlowNo = 6,      // SetCardFlowNo
  SetTime = 8,        // AdjustTime
  SetDate = 9,        // AdjustDate
};

// The command codes an attendance terminal reads in byte 2 of a frame.
namespace command {
inline constexpr uint8_t kDownloadRecords = 0x01;
inline constexpr uint8_t kClearRecords = 0x06;
inline constexpr uint8_t kSetTime = 0x08;
inline constexpr uint8_t kSetDate = 0x09;
inline constexpr uint8_t kSetFlowNo = 0x0A;
inline constexpr uint8_t kReadOriginalCardNo = 0x0B;
inline constexpr uint8_t kClearCardList = 0x0C;
inline constexpr uint8_t kDeleteCard = 0x0D;
}  // namespace command

using serial::addressesOneTerminal;

}  // namespace solvard::attend
