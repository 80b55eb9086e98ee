#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "solvard/line.hpp"

namespace solvard::tool {

// What one machine number gave when asked.
struct ScanFinding {
  int machine = 0;
  // "door" or "attend" when that kind's harmless query was answered; "unknown" when something
  // answered neither query as that kind would.
  std::string kind;
  std::optional<Error> error;  // for "unknown": how the last query ended
};

// The most a machine that answers neither query costs: each query's reply wait gives up between
// one and two seconds after it began.
inline constexpr std::chrono::seconds kSilentMachineCost{4};

struct ScanOutcome {
  std::vector<ScanFinding> found;
  int asked = 0;              // machine numbers asked before the scan ended
  std::optional<Error> line;  // the line itself failed (its port cannot be opened): scan ended
};

// Asks each machine number in turn which kind of terminal it is, with each kind's harmless
// query: the door's lock-state query first, then the clock's original-card read. Neither
// changes what the terminal holds. `progress(done, total)` after each number; `stop` (may be
// empty) ends the scan between numbers.
ScanOutcome scanLine(Line& line, const std::vector<uint8_t>& machines,
                     const std::function<void(int done, int total)>& progress,
                     const std::function<bool()>& stop);

// {"machine","kind","error"} for each finding.
nlohmann::ordered_json scanJson(const std::vector<ScanFinding>& findings);

}  // namespace solvard::tool
