#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "collect_pass.hpp"

namespace solvard::tool {

// 0 every terminal collected, 1 a terminal or its line failed, 3 the database failed. A terminal
// a stop signal left unasked is no failure: the collector was told to end.
int passExitStatus(const PassOutcome& pass);

// {"command":"collect","machine":null,"ok","result":{"pass","terminals":[...]},"error"}: each
// terminal {"line","kind","machine","name","records","given","stored","already_stored","kept",
// "from_kept","seconds","cleared","clear_window_ms","warned","error","asked","more"}; "records"
// is "given", "asked" false for a terminal a stop left unasked, "more" true for a door that
// stopped at its pass_time and may hold more.
nlohmann::ordered_json passJson(const PassOutcome& pass);

// "12 records (10 stored, 2 already stored, 0 kept)", and the kept records of earlier passes
// written when there were any.
std::string countsText(const TerminalOutcome& outcome);

// One line a terminal, then the pass in one line: how many terminals were collected from, and
// how many a stop left unasked.
std::string passText(const PassOutcome& pass);

}  // namespace solvard::tool
