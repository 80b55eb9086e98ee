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

// The record store of one download: writes each access record as a row of the host's table in
// the database the host's connection text opens, one row per record, each committed on its own.
// The connection is taken from `connections` at the first record and kept for the records after
// it, with automatic commit on and no transaction open; when the server has dropped it, it is
// opened again once and the row written on the reopened session. It goes back to the pool when
// the store ends.
class RecordStore {
 public:
  RecordStore(db::ConnectionPool& connections, std::string iConnectString, std::string iTable);

  // Insert into <table> values('<card>','<yyyy-MM-dd>','<hh:mm>'), executed as it stands, so the
  // row is committed when this returns written. Not written, with the reason: fewer than ten
  // record bytes, a table name that is not an identifier, a database that cannot be opened, a
  // statement the database refuses.
  StoreOutcome SaveRegisterRecord(std::span<const uint8_t> record);

 private:
  db::ConnectionPool& connections_;
  std::string connectString_;
  std::string table_;
  db::PooledConnection connection_;
};

}  // namespace solvard::prohibit
