#pragma once

#include <string>

#include "solvard/values.hpp"

// The values people give the terminal actions, read into the library's checked values; a text
// that does not fit throws CLI::ValidationError naming the option and why, before anything
// reaches the line.
namespace solvard::tool {

// Up to ten decimal digits, sent padded with zeros to ten.
CardNumber readCard(const std::string& option, const std::string& text);
// Up to six decimal digits, sent padded with zeros to six.
ShortCardNumber readShortCard(const std::string& option, const std::string& text);
// "yyyy-MM-dd", 2000 to 2099.
Date readDate(const std::string& option, const std::string& text);
// "HH:mm" or "HH:mm:ss".
TimeOfDay readTime(const std::string& option, const std::string& text);
// One digit 0 to 9.
WeekdayNumber readWeekday(const std::string& option, const std::string& text);
// "S-E" or one digit D for D-D; a range that runs backwards (5-1) is refused.
std::pair<WeekdayNumber, WeekdayNumber> readWeekdays(const std::string& option,
                                                     const std::string& text);

std::string dateText(Date date);
// "13:05:09", or "13:05" with `seconds` false.
std::string timeText(TimeOfDay time, bool seconds = true);
// This computer's local wall clock, to the second.
std::chrono::local_seconds localNow();

}  // namespace solvard::tool
