#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/connection.hpp"

namespace solvard::tool {

// Where a receiver of the events (a webhook's URL, a broker's) got to, in solvard_deliveries:
// the id of the last event it took. A receiver new to the database starts after the newest
// event there, so it is not sent the history. Nothing when the database cannot say.
std::optional<int64_t> readCursor(db::Connection& connection, const std::string& target);

// The receiver took every event up to `id`.
bool saveCursor(db::Connection& connection, const std::string& target, int64_t id);

}  // namespace solvard::tool
