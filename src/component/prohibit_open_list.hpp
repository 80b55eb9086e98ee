#pragma once

#include <cstdint>
#include <string>

#include "serial/line_state.hpp"

namespace solvard::prohibit {

// The open list of an access-control terminal: the cards that may open its lock, each with a
// validity window. Both commands first write the card text back into `iCardNo` formatted with
// "0000000000" (12345 becomes 0000012345), whatever happens afterwards. A card that is then not
// exactly ten decimal digits, or a machine number outside 0 to 255, is refused: false, nothing
// sent, no message. Otherwise true after the acknowledgement [machine number, 2], false after a
// timeout, a wrong reply or a port that cannot be opened (told as a notice).

// Code 4: the card with its window, frame of 19 bytes. `iFirstYear` and `iLastYear` are the
// first and last day of validity and must each hold a date (a time alone is refused);
// `iFirstTime` and `iLastTime` the start and end of the daily window as hour and minute, where
// an empty text means 00:00, a date alone gives 00:00 and any other text that does not read as
// a time is refused. `iStartWeek` and `iEndWeek` go as their first digits; a negative one makes
// the weekday byte 0.
bool SetOpenList(serial::LineState& line, int16_t MachineNo, std::string& iCardNo,
                 const std::string& iFirstYear, const std::string& iLastYear,
                 const std::string& iFirstTime, const std::string& iLastTime, int16_t iStartWeek,
                 int16_t iEndWeek);

// Code 5: takes the card off the list, frame of 8 bytes.
bool DeleteLockList(serial::LineState& line, int16_t MachineNo, std::string& iCardNo);

// The card text the host passed, formatted with the pattern "0000000000": text that reads as a
// number becomes that whole number padded on the left with zeros to ten digits (12345 becomes
// 0000012345); more digits are kept; other text comes back unchanged.
std::string normaliseCardNumber(const std::string& text);

}  // namespace solvard::prohibit
