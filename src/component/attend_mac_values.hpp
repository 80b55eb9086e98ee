#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "automation/variant.hpp"

// The values the attendance methods take from their host, checked and padded as the frames
// take them.
namespace solvard::attend {

// A value whose text is shorter than `pattern` goes through that zero-padding pattern, so the
// card number 1234 becomes "001234"; a longer one is left as it is.
automation::Variant padded(const automation::Variant& value, std::string_view pattern);

// Whether `value`, padded as the frame takes it, is exactly `width` decimal digits that stand
// for the number the host gave. A letter, a sign, more digits than the frame carries, or a
// fraction the padding would round all put another number on the line, so they fail.
bool namesDigits(const automation::Variant& value, std::size_t width);

// The time of day to set a terminal's clock to: that of a date value (00:00:00 for a date
// alone), or that of a text holding a time, alone or after a date. Any other value (a text with
// a date only, a number, nothing) holds no time the host gave.
std::optional<automation::DateTime> timeOfDay(const automation::Variant& value);

}  // namespace solvard::attend
