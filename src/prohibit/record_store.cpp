#include "prohibit/record_store.hpp"

#include "prohibit/access_record.hpp"
#include "prohibit/table_name.hpp"

namespace solvard::prohibit {

StoreOutcome SaveRegisterRecord(std::span<const uint8_t> record, const std::string& iConnectString,
                                const std::string& iTable, db::ConnectionPool& connections) {
  const std::optional<AccessRow> row = decodeAccessRecord(record);
  if (!row) {
    return {false, "the record holds " + std::to_string(record.size()) + " of " +
                       std::to_string(kAccessRecordLength) + " bytes"};
  }
  if (!isTableName(iTable)) return {false, "\"" + iTable + "\" is not a table name"};

  db::PooledConnection connection = connections.acquire(iConnectString);
  if (!connection) {
    return {false, "the database does not open: " + connection.diagnostic().text()};
  }
  const std::string statement = insertStatement(iTable, *row);
  if (connection->Execute(statement) != db::Outcome::kOk) {
    return {false, statement + " refused: " + connection->lastDiagnostic().text()};
  }
  return {true, {}};
}

}  // namespace solvard::prohibit
