#pragma once

#include <span>
#include <string>

#include "db/pool.hpp"

namespace solvard::prohibit {

// What became of one record handed to the store.
struct StoreOutcome {
  bool written = false;  // the row is committed
  std::string problem;   // why not, for the library's log
};

// Writes one access record as a row of `iTable` in the database `iConnectString` opens:
// Insert into <table> values('<card>','<yyyy-MM-dd>','<hh:mm>'), executed as it stands with
// automatic commit, so the row is committed when this returns written. The connection comes from
// `connections`, which keeps it open between the records of one download (reset, and reopened
// once when the server dropped it). Not written, with the reason: fewer than ten record bytes, a
// table name that is not an identifier, a database that cannot be opened, a statement the
// database refuses.
StoreOutcome SaveRegisterRecord(std::span<const uint8_t> record, const std::string& iConnectString,
                                const std::string& iTable, db::ConnectionPool& connections);

}  // namespace solvard::prohibit
