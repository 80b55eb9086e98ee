#include "prohibit/access_record.hpp"

#include "db/statements.hpp"
#include "serial/packed_digits.hpp"

namespace solvard::prohibit {
namespace {

constexpr std::size_t kCardEnd = 5;
constexpr std::size_t kYear = 5, kMonth = 6, kDay = 7, kHour = 8, kMinute = 9;
constexpr int kCentury = 2000;

using serial::twoDigitText;
using serial::twoDigitValue;

}  // namespace

std::optional<AccessRow> decodeAccessRecord(std::span<const uint8_t> record) {
  if (record.size() < kAccessRecordLength) return std::nullopt;
  AccessRow row;
  for (std::size_t i = 0; i < kCardEnd; ++i) row.card += twoDigitText(record[i]);
  // A real date and one the bytes do not make (month 13, day 0, 30 February) come out in the
  // same shape: four-digit year, then month and day of at least two digits each. Nothing is
  // moved to another day, so the row shows what the terminal sent.
  row.date = std::to_string(kCentury + twoDigitValue(record[kYear])) + "-" +
             twoDigitText(record[kMonth]) + "-" + twoDigitText(record[kDay]);
  row.time = twoDigitText(record[kHour]) + ":" + twoDigitText(record[kMinute]);
  return row;
}

std::string insertStatement(std::string_view table, const AccessRow& row) {
  return db::insertValues("Insert into", table, {row.card, row.date, row.time});
}

}  // namespace solvard::prohibit
