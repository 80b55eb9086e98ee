#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "serial/exchange.hpp"
#include "serial/line_state.hpp"
#include "solvard/result.hpp"

namespace solvard::serial {

// "03 11 02", for an error's detail; "nothing" for no bytes.
std::string hexText(const std::vector<uint8_t>& bytes);

// The error of the last failed open of `line`'s port, if its last open failed.
std::optional<Error> portFailure(const LineState& line);

// Why an exchange with terminal `machine` failed, from what the line's last reply wait saw:
// nothing came (no_reply), part of it (reply_incomplete), another machine's reply
// (wrong_machine), or a reply that is not the one awaited (unexpected_reply). `what` names the
// reply awaited ("acknowledgement"); the detail gives the bytes counted, read and sent.
Error exchangeFailure(const LineState& line, uint8_t machine, const std::string& what);

// The result of a single exchange that ended with `ending`: nothing when the terminal answered
// as awaited, otherwise the port's failure or the exchange's.
Result<void> exchangeResult(const LineState& line, Ending ending, uint8_t machine,
                            const std::string& what);

}  // namespace solvard::serial
