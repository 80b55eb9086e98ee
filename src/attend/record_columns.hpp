#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// One stored card record of an attendance terminal as the download writes it.
namespace solvard::attend {

// A record after the echoed machine number: card number in three digit pairs, year within the
// century, month, day, hour, minute, then the end mark.
inline constexpr std::size_t kRecordLength = 9;
inline constexpr uint8_t kEndMark = 0xAA;

// The four text values of a record's row in `WorkCardSource` and `WorkCardReadTime`.
struct RecordColumns {
  std::string machineNo;  // the machine number the host passed, "3"
  std::string cardNo;     // "123456"
  std::string date;       // "2001-05-07"
  std::string time;       // "08:30:00"

  friend bool operator==(const RecordColumns&, const RecordColumns&) = default;
};

// The row of `record` (its `kRecordLength` bytes; the end mark is not looked at) from terminal
// `machineNo`. The year is 2000 + the year byte. The date keeps the "yyyy-MM-dd" shape even when
// the bytes do not make a calendar date ("2001-13-05"), so the record is kept and the bad date
// shows; the seconds of the time are always "00".
RecordColumns recordColumns(int16_t machineNo, std::span<const uint8_t> record);

}  // namespace solvard::attend
