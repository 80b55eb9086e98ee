#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace solvard::prohibit {

// An access record as the terminal sends it: the card in bytes 0 to 4 (ten digits), then year
// (last two digits), month, day, hour and minute, one byte each, all in packed decimal
// (serial/packed_digits.hpp).
inline constexpr std::size_t kAccessRecordLength = 10;

// The row a record becomes: three texts, in the table's column order.
struct AccessRow {
  std::string card;  // the texts of bytes 0 to 4 joined: "1234567890"
  std::string date;  // "yyyy-MM-dd", the two-digit year read as 2000 + year
  std::string time;  // hour ":" minute, each by the two-digit rule: "08:05"

  friend bool operator==(const AccessRow&, const AccessRow&) = default;
};

// The row of a record; nothing when fewer than ten bytes came. Bytes beyond ten are not read.
std::optional<AccessRow> decodeAccessRecord(std::span<const uint8_t> record);

// "Insert into " table " values('" card "','" date "','" time "')", the table name as the host
// gave it (the caller has checked it).
std::string insertStatement(std::string_view table, const AccessRow& row);

}  // namespace solvard::prohibit
