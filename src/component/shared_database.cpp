#include "component/shared_database.hpp"

#include <utility>

#include "db/odbc_connection.hpp"
#include "ui/host_reports.hpp"

namespace solvard::attend {
namespace {

std::unique_ptr<db::Connection>& slot() {
  static std::unique_ptr<db::Connection> connection;
  return connection;
}

}  // namespace

db::Connection& sharedDatabase() {
  std::unique_ptr<db::Connection>& connection = slot();
  if (!connection) connection = db::makeOdbcConnection(ui::logLine);
  return *connection;
}

std::unique_ptr<db::Connection> replaceSharedDatabase(std::unique_ptr<db::Connection> connection) {
  return std::exchange(slot(), std::move(connection));
}

}  // namespace solvard::attend
