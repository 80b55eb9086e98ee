#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "collect_pass.hpp"

namespace solvard::tool {

// 0 every terminal collected, 1 a terminal or its line failed, 3 the database failed. A terminal
// a stop signal left unasked is no failure: the collector was told to end.
int passExitStatus(const PassOutcome& pass);

// {"command":"collect","machine":null,"ok","result":{"terminals":[...]},"error"}: each terminal
// {"line","kind","machine","name","records","seconds","cleared","clear_window_ms","warned",
// "error"}.
nlohmann::ordered_json passJson(const PassOutcome& pass);

// One line a terminal, then the pass in one line.
std::string passText(const PassOutcome& pass);

}  // namespace solvard::tool
