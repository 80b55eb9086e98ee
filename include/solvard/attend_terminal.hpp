#pragma once

#include <chrono>
#include <string>

#include "solvard/export.hpp"
#include "solvard/line.hpp"
#include "solvard/records.hpp"
#include "solvard/values.hpp"

namespace solvard {

// An attendance (time-clock) terminal on a line. Each call is one exchange with it; the
// terminal's acknowledgement is its machine number.
class SOLVARD_API AttendTerminal {
 public:
  AttendTerminal(Line& line, MachineNumber machine) : line_(&line), machine_(machine) {}
  MachineNumber machine() const { return machine_; }

  // Forgets the stored records (download them first: see download()).
  Result<void> clearRecords();
  // Forgets the list of cards.
  Result<void> clearCardList();
  // Takes one card off the list.
  Result<void> deleteCard(const ShortCardNumber& card);
  // Gives the card with ten-digit number `original` the flow number `flow`.
  Result<void> setFlowNumber(const ShortCardNumber& flow, const CardNumber& original);
  Result<void> setTime(TimeOfDay time);
  Result<void> setDate(Date date);
  // The date, then the time of `wallClock` (the terminal keeps local wall time).
  Result<void> setClock(std::chrono::local_seconds wallClock);
  // The ten-digit number of the card last presented.
  Result<CardNumber> readOriginalCard();

  // Downloads every stored record. Either every record reaches the sink and is committed, or
  // none is kept: a failure mid-way rolls back and the terminal still holds them all, so the
  // download can simply run again. The terminal keeps its records afterwards too
  // (clearRecords forgets them).
  Result<AttendanceSummary> download(AttendanceSink& sink);
  // Every record to `onRecord`, once all have come; none when the download fails.
  Result<AttendanceSummary> download(AttendanceCallback onRecord);
  // Into the tables WorkCardSource and WorkCardReadTime of the database `connection` opens
  // (an ODBC connection text; a text without '=' is an SQLite file), in one transaction. In an
  // SQLite file the tables are made first where they are missing (the file too); any other
  // database must hold them (sql/<engine>/attend.sql).
  Result<AttendanceSummary> downloadToDatabase(const std::string& connection);

 private:
  Line* line_;
  MachineNumber machine_;
};

}  // namespace solvard
