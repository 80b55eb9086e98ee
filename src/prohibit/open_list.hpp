#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "prohibit/command_exchange.hpp"
#include "serial/line_state.hpp"
#include "solvard/result.hpp"
#include "solvard/values.hpp"

namespace solvard::prohibit {

// The open list of an access-control terminal: the cards that may open its lock, each with a
// validity window. Each command succeeds on the acknowledgement [machine number, 2].

// The ten window bytes in the frame's order: each pair puts its end before its start (year,
// month, day, hour, minute); only the weekday byte that follows puts the start first.
using Window = std::array<int, 10>;
Window windowOf(int firstYear, int firstMonth, int firstDay, int lastYear, int lastMonth,
                int lastDay, int fromHour, int fromMinute, int untilHour, int untilMinute);

// Code 4, frame of 19 bytes: [machine number, 4, 16, card (5), window (10), weekdays]. Each
// byte is a step of its own (see packCardNumber).
Command entryCommand(int16_t machineNo, std::string card, Window window,
                     std::function<uint8_t()> weekdayByte);
// Code 5, frame of 8 bytes: [machine number, 5, 5, card (5)]: takes the card off the list.
Command deleteCommand(int16_t machineNo, std::string card);

// The two commands with the values a native host gives, each ending as a value: nothing after
// the acknowledgement, otherwise why it failed (serial/line_errors.hpp). The permit's weekdays
// go as first x 16 + last.
Result<void> allowCard(serial::LineState& line, MachineNumber machine, const CardNumber& card,
                       const CardPermit& permit);
Result<void> denyCard(serial::LineState& line, MachineNumber machine, const CardNumber& card);

}  // namespace solvard::prohibit
