#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "query_text.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"

// The rows the collector is to store for a simulated terminal's records, written out from the
// terminal's own bytes, so that a test compares what the database holds with what the terminals
// held: "LINE MACHINE CARD DATE TIME", as the collector's tables give them back.
namespace solvard::tool::testing {

using simulator::Bytes;

// Two digits of a packed byte as a number of the year 2000 on.
inline std::string yearOf(uint8_t packed) {
  return "20" + simulator::packedDigits(std::span<const uint8_t>(&packed, 1));
}

inline std::string twoDigits(const Bytes& record, std::size_t at) {
  return simulator::packedDigits(std::span<const uint8_t>(record).subspan(at, 1));
}

// An attendance record: three bytes of card, then year, month, day, hour, minute, then the end
// mark.
inline std::string attendRow(const std::string& line, int machine, const Bytes& record) {
  return line + " " + std::to_string(machine) + " " +
         simulator::packedDigits(std::span<const uint8_t>(record).first(3)) + " " +
         yearOf(record[3]) + "-" + twoDigits(record, 4) + "-" + twoDigits(record, 5) + " " +
         twoDigits(record, 6) + ":" + twoDigits(record, 7) + ":00";
}

// An access record: five bytes of card, then year, month, day, hour, minute.
inline std::string accessRow(const std::string& line, int machine, const Bytes& record) {
  return line + " " + std::to_string(machine) + " " +
         simulator::packedDigits(std::span<const uint8_t>(record).first(5)) + " " +
         yearOf(record[5]) + "-" + twoDigits(record, 6) + "-" + twoDigits(record, 7) + " " +
         twoDigits(record, 8) + ":" + twoDigits(record, 9);
}

inline std::vector<std::string> attendRows(const std::string& line, int machine,
                                           const std::vector<Bytes>& records) {
  std::vector<std::string> rows;
  for (const Bytes& record : records) rows.push_back(attendRow(line, machine, record));
  return rows;
}

template <typename Records>
std::vector<std::string> accessRows(const std::string& line, int machine, const Records& records) {
  std::vector<std::string> rows;
  for (const Bytes& record : records) rows.push_back(accessRow(line, machine, record));
  return rows;
}

inline void append(std::vector<std::string>& to, const std::vector<std::string>& more) {
  to.insert(to.end(), more.begin(), more.end());
}

inline std::vector<std::string> sorted(std::vector<std::string> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

// The rows a table is to hold for `rows`, sorted: one a record, so a card presented twice in
// the same minute at the same terminal is two rows, as the tables key a record by its occurrence.
inline std::vector<std::string> everyRow(std::vector<std::string> rows) {
  return sorted(std::move(rows));
}

// The rows a table is to hold for the records of several terminals together.
inline std::vector<std::string> everyRowOf(
    std::initializer_list<std::vector<std::string>> terminals) {
  std::vector<std::string> rows;
  for (const std::vector<std::string>& terminal : terminals) append(rows, terminal);
  return everyRow(std::move(rows));
}

// The rows a query gives, each as its values joined by spaces, sorted; one row "unreadable:
// ..." when it cannot be read.
inline std::vector<std::string> queriedRows(const std::string& database, const std::string& query) {
  db::Rows result;
  std::string failure;
  if (!readRows(database, query, result, failure)) return {failure};
  std::vector<std::string> rows;
  for (const db::Row& row : result) {
    std::string text;
    for (const std::string& cell : row) text += (text.empty() ? "" : " ") + cell;
    rows.push_back(text);
  }
  return sorted(std::move(rows));
}

// Every row of a collector table, sorted; one row "unreadable: ..." when it cannot be read.
inline std::vector<std::string> storedRows(const std::string& database, const std::string& table) {
  return queriedRows(database,
                     "select line, machine, card, record_date, record_time from " + table);
}

// The rows of `a` that are also in `b` (both sorted), once each.
inline std::vector<std::string> common(const std::vector<std::string>& a,
                                       const std::vector<std::string>& b) {
  std::vector<std::string> both;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
  return both;
}

// `a` and `b` together, sorted, each row as often as it is in either.
inline std::vector<std::string> joined(std::vector<std::string> a,
                                       const std::vector<std::string>& b) {
  append(a, b);
  return sorted(std::move(a));
}

// `a` with each row of `b` taken out once.
inline std::vector<std::string> without(const std::vector<std::string>& a,
                                        const std::vector<std::string>& b) {
  std::vector<std::string> left;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(left));
  return left;
}

}  // namespace solvard::tool::testing
