#include "attend/record_columns.hpp"

#include <cstdio>

#include "serial/packed_digits.hpp"

namespace solvard::attend {

using serial::twoDigitText;
using serial::twoDigitValue;

RecordColumns recordColumns(int16_t machineNo, std::span<const uint8_t> record) {
  RecordColumns row;
  row.machineNo = std::to_string(machineNo);
  row.cardNo = twoDigitText(record[0]) + twoDigitText(record[1]) + twoDigitText(record[2]);
  // Built from the decoded values, not through a date conversion, so that a day the calendar
  // does not have is still written as the terminal stored it.
  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", 2000 + twoDigitValue(record[3]),
                twoDigitValue(record[4]), twoDigitValue(record[5]));
  row.date = date;
  char time[32];
  std::snprintf(time, sizeof time, "%02d:%02d:00", twoDigitValue(record[6]),
                twoDigitValue(record[7]));
  row.time = time;
  return row;
}

}  // namespace solvard::attend
