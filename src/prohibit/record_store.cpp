#include "prohibit/record_store.hpp"

#include <utility>

#include "prohibit/access_record.hpp"
#include "prohibit/table_name.hpp"

namespace solvard::prohibit {

RecordStore::RecordStore(db::ConnectionPool& connections, std::string iConnectString,
                         std::string iTable)
    : connections_(connections),
      connectString_(std::move(iConnectString)),
      table_(std::move(iTable)) {}

StoreOutcome RecordStore::SaveRegisterRecord(std::span<const uint8_t> record) {
  const std::optional<AccessRow> row = decodeAccessRecord(record);
  if (!row) {
    return {false, "the record holds " + std::to_string(record.size()) + " of " +
                       std::to_string(kAccessRecordLength) + " bytes"};
  }
  if (!isTableName(table_)) return {false, "\"" + table_ + "\" is not a table name"};

  if (!connection_) {
    connection_ = connections_.acquire(connectString_);
    if (!connection_) {
      return {false, "the database does not open: " + connection_.diagnostic().text()};
    }
  }
  const std::string statement = insertStatement(table_, *row);
  db::Outcome outcome = connection_->Execute(statement);
  // A session the server dropped has closed itself; a record comes every few milliseconds, so
  // the kept session is checked by using it rather than by a round trip of its own.
  if (outcome == db::Outcome::kConnectionLost) {
    if (connection_->Open() != db::Outcome::kOk) {
      return {false, "the database does not open again: " + connection_->lastDiagnostic().text()};
    }
    outcome = connection_->Execute(statement);
  }
  if (outcome != db::Outcome::kOk) {
    return {false, statement + " refused: " + connection_->lastDiagnostic().text()};
  }
  return {true, {}};
}

}  // namespace solvard::prohibit
