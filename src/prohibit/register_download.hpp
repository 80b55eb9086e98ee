#pragma once

#include <cstdint>
#include <string>

#include "db/pool.hpp"

namespace solvard::prohibit {

// The result texts of a download.
inline constexpr const char* kNoData = "NODATA";
inline constexpr const char* kIsEnd = "ISEND";
inline constexpr const char* kError = "ERROR";

// Downloads the records an access-control terminal holds into the host's table, one record per
// prompt [machine number, 1]. Each prompt is answered by a three-byte status whose byte 2 says
// whether a ten-byte record follows; the prompt after a record is the terminal's only
// acknowledgement of it, so each record is written and committed (`SaveRegisterRecord`) before
// the terminal is prompted again.
//
// - "NODATA": the first status says no record is stored; one prompt was sent, the port is left
//   open and its buffers as they are.
// - "ISEND": at least one record was written and the terminal said no more follow, or did not
//   answer a later prompt within 1 to 2 seconds (no message).
// - "ERROR", nothing sent: a machine number outside 0 to 255, or a table name that is not an
//   identifier (table_name.hpp); the port is not touched.
// - "ERROR": the port cannot be opened (no message), or the first status does not come within
//   1 to 2 seconds.
// - "ERROR" with message 61210: a record not complete within 2 to 3 seconds.
// - "ERROR": a record that cannot be written (fewer than ten bytes, the database does not open or
//   refuses the row); the terminal is not prompted again, so that record is not acknowledged and
//   those after it stay in the terminal, while the rows already written stay. The reason and the
//   record's values go to the library's log.
// Every ending but "NODATA" closes the port; those that fail after the open clear the buffers.
// Each record written is reported as progress (records so far, total 0: the terminal does not
// say how many it holds). A setting the port refuses raises.
std::string GetRegisterData(int16_t iMachineNo, const std::string& iConnectString,
                            const std::string& iTable);

// The same download with the database connections taken from `connections`.
std::string downloadRegisterData(int16_t iMachineNo, const std::string& iConnectString,
                                 const std::string& iTable, db::ConnectionPool& connections);

}  // namespace solvard::prohibit
