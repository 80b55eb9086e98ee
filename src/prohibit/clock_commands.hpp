#pragma once

#include <cstdint>
#include <functional>

#include "prohibit/command_exchange.hpp"
#include "serial/line_state.hpp"
#include "solvard/result.hpp"
#include "solvard/values.hpp"

namespace solvard::prohibit {

// The terminal's calendar and weekday (code 6): frame [machine number, 6, 4, year mod 100,
// month, day, weekday], the date packed decimal, `weekdayByte` the last byte. No step of it may
// fail silently: a failure raises and leaves the port open for the next command to close.
Command dateCommand(int16_t machineNo, int year, int month, int day,
                    std::function<uint8_t()> weekdayByte);
// The terminal's time of day (code 7): frame [machine number, 7, 3, hour, minute, second],
// packed decimal.
Command timeCommand(int16_t machineNo, int hour, int minute, int second);

// The two commands with the values a native host gives, each ending as a value: nothing after
// the acknowledgement, otherwise why it failed (serial/line_errors.hpp).
Result<void> setDate(serial::LineState& line, MachineNumber machine, Date date,
                     WeekdayNumber weekday);
Result<void> setTime(serial::LineState& line, MachineNumber machine, TimeOfDay time);

}  // namespace solvard::prohibit
