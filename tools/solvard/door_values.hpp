#pragma once

#include <cstdint>
#include <string>

#include "automation/date.hpp"

// The values people give the door commands, checked before anything reaches the line, each
// with the reason when it does not fit.
namespace solvard::tool {

// A card number of up to ten decimal digits; `card` gets the ten digits the terminal is sent.
bool readCardOption(const std::string& text, std::string& card, std::string& problem);
// A date without a time, "yyyy-MM-dd".
bool readDateOption(const std::string& option, const std::string& text, automation::DateTime& date,
                    std::string& problem);
// A time of day, "HH:mm" or "HH:mm:ss".
bool readTimeOption(const std::string& option, const std::string& text, automation::DateTime& time,
                    std::string& problem);
// A weekday digit 0 to 9: the terminal takes one digit and gives it its own meaning.
bool readWeekdayOption(const std::string& option, const std::string& text, int16_t& weekday,
                       std::string& problem);
// "S-E" (or one digit D for D-D): the first and last weekday of a card's window.
bool readWeekdaysOption(const std::string& text, int16_t& start, int16_t& end,
                        std::string& problem);
// A whole number that fits 16 bits.
bool readNumberOption(const std::string& option, const std::string& text, int16_t& value,
                      std::string& problem);

// The weekday of a date counted from Monday 1 to Sunday 7.
int16_t mondayFirstWeekday(const automation::DateTime& date);
// The computer's local date and time of day, to the second.
automation::DateTime localNow();

}  // namespace solvard::tool
