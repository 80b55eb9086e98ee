#include "event_cursor.hpp"

#include "collect_schema.hpp"

namespace solvard::tool {

std::optional<int64_t> readCursor(db::Connection& connection, const std::string& url) {
  if (connection.Execute("create table if not exists solvard_deliveries (target varchar(512) "
                         "not null primary key, last_id bigint not null)") != db::Outcome::kOk)
    return std::nullopt;
  db::Rows rows;
  if (connection.queryRows("select last_id from solvard_deliveries where target = " + sqlText(url),
                           rows) != db::Outcome::kOk)
    return std::nullopt;
  if (!rows.empty() && !rows.front().empty()) return std::stoll(rows.front().front());
  // A receiver new to this database starts after the newest event: it is not sent the history.
  if (connection.queryRows("select coalesce(max(id), 0) from solvard_events", rows) !=
          db::Outcome::kOk ||
      rows.empty() || rows.front().empty())
    return std::nullopt;
  const std::string newest = rows.front().front();
  if (connection.Execute("insert into solvard_deliveries (target, last_id) values (" +
                         sqlText(url) + ", " + newest + ") on conflict do nothing") !=
      db::Outcome::kOk)
    return std::nullopt;
  return std::stoll(newest);
}

bool saveCursor(db::Connection& connection, const std::string& url, int64_t id) {
  return connection.Execute("update solvard_deliveries set last_id = " + std::to_string(id) +
                            " where target = " + sqlText(url)) == db::Outcome::kOk;
}

}  // namespace solvard::tool
