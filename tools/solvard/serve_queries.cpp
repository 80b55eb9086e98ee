#include "serve_queries.hpp"

#include <algorithm>
#include <charconv>
#include <ctime>

#include "collect_schema.hpp"
#include "db/odbc_connection.hpp"
#include "utc_text.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

constexpr const char* kRecordColumns =
    "line, machine, card, record_date, record_time, collected_at, occurrence, pass_id";

std::optional<int> number(const std::string& text, int lowest, int highest) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest)
    return std::nullopt;
  return value;
}

bool digitsOnly(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "yyyy-MM-dd": compared as text with the stored dates, which the terminals write so.
bool dateShaped(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  return digitsOnly(text.substr(0, 4)) && digitsOnly(text.substr(5, 2)) &&
         digitsOnly(text.substr(8, 2));
}

std::unique_ptr<db::Connection> openDatabase(const std::string& database, std::string& problem) {
  auto connection = db::makeOdbcConnection();
  if (connection->Open(database) != db::Outcome::kOk) {
    problem = connection->lastDiagnostic().text();
    return nullptr;
  }
  if (std::string prepared = prepareCollectTables(*connection); !prepared.empty()) {
    problem = prepared;
    return nullptr;
  }
  return connection;
}

std::string whereOf(const RecordQuery& query) {
  std::string where = " where 1 = 1";
  if (query.line) where += " and line = " + sqlText(*query.line);
  if (query.machine) where += " and machine = " + std::to_string(*query.machine);
  if (query.card) where += " and card = " + sqlText(*query.card);
  if (query.from) where += " and record_date >= " + sqlText(*query.from);
  if (query.to) where += " and record_date <= " + sqlText(*query.to);
  return where;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::optional<RecordQuery> readRecordQuery(
    const std::function<std::optional<std::string>(const char*)>& value,
    const std::function<bool(const std::string&)>& knownLine, std::string& problem) {
  RecordQuery query;
  if (auto line = value("line")) {
    if (!knownLine(*line)) {
      problem = "line: not a line of this service";
      return std::nullopt;
    }
    query.line = *line;
  }
  if (auto machine = value("machine")) {
    query.machine = number(*machine, 1, 254);
    if (!query.machine) {
      problem = "machine: a machine number, 1 to 254";
      return std::nullopt;
    }
  }
  if (auto card = value("card")) {
    if (!digitsOnly(*card) || card->size() > 20) {
      problem = "card: the card's digits, at most 20";
      return std::nullopt;
    }
    query.card = *card;
  }
  for (const char* end : {"from", "to"}) {
    if (auto date = value(end)) {
      if (!dateShaped(*date)) {
        problem = std::string(end) + ": a date, yyyy-MM-dd";
        return std::nullopt;
      }
      (std::string(end) == "from" ? query.from : query.to) = *date;
    }
  }
  if (auto after = value("after")) {
    const auto skipped = number(*after, 0, 1'000'000'000);
    if (!skipped) {
      problem = "after: the next_after of the page before, 0 or more";
      return std::nullopt;
    }
    query.after = *skipped;
  }
  if (auto limit = value("limit")) {
    const auto most = number(*limit, 1, kLongestPage);
    if (!most) {
      problem = "limit: 1 to " + std::to_string(kLongestPage) + " records a page";
      return std::nullopt;
    }
    query.limit = *most;
  }
  return query;
}

std::optional<json> queryRecords(const std::string& database, const RecordQuery& query,
                                 std::string& problem) {
  auto connection = openDatabase(database, problem);
  if (!connection) return std::nullopt;
  const std::string where = whereOf(query);
  // One more than the page, to tell whether another page follows.
  const std::string statement =
      std::string("select * from (select 'attend', ") + kRecordColumns +
      " from attendance_records" + where + " union all select 'door', " + kRecordColumns +
      " from access_records" + where + ") as records order by 7, 2, 3, 5, 6, 8 limit " +
      std::to_string(query.limit + 1) + " offset " + std::to_string(query.after);
  db::Rows rows;
  if (connection->queryRows(statement, rows) != db::Outcome::kOk) {
    problem = connection->lastDiagnostic().text();
    return std::nullopt;
  }
  const bool more = rows.size() > static_cast<std::size_t>(query.limit);
  if (more) rows.pop_back();
  json records = json::array();
  for (const db::Row& row : rows) {
    if (row.size() < 9) continue;
    records.push_back({{"kind", row[0]},
                       {"line", row[1]},
                       {"machine", number(row[2], 0, 1 << 30).value_or(0)},
                       {"card", row[3]},
                       {"date", row[4]},
                       {"time", row[5]},
                       {"collected_at", row[6]},
                       {"occurrence", row[7]},
                       {"pass_id", row[8]}});
  }
  return json{{"records", std::move(records)},
              {"next_after", more ? json(query.after + query.limit) : json(nullptr)}};
}

std::string recordsCsv(const json& records) {
  std::string csv = "kind,line,machine,card,date,time,collected_at,occurrence,pass_id\r\n";
  for (const json& record : records.at("records")) {
    bool first = true;
    for (const auto& [key, value] : record.items()) {
      csv += first ? "" : ",";
      first = false;
      csv += csvField(value.is_string() ? value.get<std::string>() : value.dump());
    }
    csv += "\r\n";
  }
  return csv;
}

std::optional<json> queryPasses(const std::string& database, int limit, std::string& problem) {
  auto connection = openDatabase(database, problem);
  if (!connection) return std::nullopt;
  db::Rows rows;
  const std::string statement =
      "select pass_id, line, machine, kind, started_at, ended_at, given, stored, already_stored,"
      " kept, from_kept, cleared, clear_window_ms, error from solvard_ledger"
      " order by started_at desc, pass_id desc, line, machine limit " +
      std::to_string(limit);
  if (connection->queryRows(statement, rows) != db::Outcome::kOk) {
    problem = connection->lastDiagnostic().text();
    return std::nullopt;
  }
  static constexpr const char* kNames[] = {"pass_id",         "line",     "machine",   "kind",
                                           "started_at",      "ended_at", "given",     "stored",
                                           "already_stored",  "kept",     "from_kept", "cleared",
                                           "clear_window_ms", "error"};
  json passes = json::array();
  for (const db::Row& row : rows) {
    json entry = json::object();
    for (std::size_t i = 0; i < std::size(kNames) && i < row.size(); ++i) {
      const bool counted = i == 2 || (i >= 6 && i <= 11);
      entry[kNames[i]] = counted ? json(number(row[i], -1, 1 << 30).value_or(0)) : json(row[i]);
    }
    entry["cleared"] = entry["cleared"] != 0;
    passes.push_back(std::move(entry));
  }
  return json{{"passes", std::move(passes)}};
}

bool writeAudit(const std::string& database, const AuditEntry& entry, std::string& problem) {
  auto connection = openDatabase(database, problem);
  if (!connection) return false;
  if (connection->Execute("create table if not exists solvard_audit (at varchar(32) not null,"
                          " token varchar(255) not null, line varchar(255) not null,"
                          " machine integer not null, action varchar(32) not null,"
                          " request_values text not null, ok integer not null,"
                          " result text not null)") != db::Outcome::kOk) {
    problem = connection->lastDiagnostic().text();
    return false;
  }
  auto insert = connection->prepare(
      "insert into solvard_audit (at, token, line, machine, action, request_values, ok, result)"
      " values (?, ?, ?, ?, ?, ?, ?, ?)");
  const std::string at = utcText(std::time(nullptr), "%Y-%m-%d %H:%M:%SZ");
  const std::string machine = std::to_string(entry.machine);
  if (!insert || insert->execute({at, entry.token, entry.line, machine, entry.action, entry.values,
                                  entry.ok ? "1" : "0", entry.result}) != db::Outcome::kOk) {
    problem = connection->lastDiagnostic().text();
    return false;
  }
  return true;
}

}  // namespace solvard::tool
