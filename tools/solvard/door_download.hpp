#pragma once

#include <cstdint>
#include <string>

#include "component/prohibit.hpp"

namespace solvard::tool {

// `solvard door download`: downloads the records of access-control terminal `machine` into
// `table` of the database `database` (a connection text with "=", or the path of an SQLite file,
// whose table is made when missing), showing how far it has got, and says how it ended. Exit 0
// for "ISEND" and "NODATA", 1 for "ERROR" (or a table that could not be made).
int runDoorDownload(int16_t machine, const std::string& table, const std::string& database,
                    component::Prohibit& door);

// `solvard door id`: the terminal's identity. Exit 0 when it told one, 1 when not.
int runDoorIdentity(int16_t machine, component::Prohibit& door);

}  // namespace solvard::tool
