#pragma once

#include <cstdint>
#include <string>

#include "automation/date.hpp"
#include "serial/line_state.hpp"

namespace solvard::prohibit {

// The terminal's calendar and weekday (code 6): frame [machine number, 6, 4, year mod 100,
// month, day, weekday], the date fields packed decimal from the host's `iDate` (never the
// computer's clock), the weekday byte the first digit of `iFirstWeek` x 16. True after the
// acknowledgement, false after a timeout, a wrong reply or a port that cannot be opened
// (told as a notice). Once the port is open no step may fail silently: a failure raises and leaves
// the port open for the next command to close; a negative `iFirstWeek` raises 13 "Type
// mismatch" that way, its text beginning with a minus sign where a digit is read. A machine
// number outside 0 to 255 raises 6 "Overflow" before the port is touched. No argument changes.
bool SetMacDateAndWeek(serial::LineState& line, const int16_t& iMachineNo,
                       const automation::DateTime& iDate, const int16_t& iFirstWeek);

// The terminal's time of day (code 7): frame [machine number, 7, 3, hour, minute, second],
// packed decimal, read from `iPara` as a time or a date-and-time; a text holding only a date
// gives 00:00:00. A text that reads as neither, or a machine number outside 0 to 255, is
// refused: false, nothing sent, no message. Otherwise as the short commands.
bool SetMacTime(serial::LineState& line, const int16_t& iMachineNo, const std::string& iPara);

}  // namespace solvard::prohibit
