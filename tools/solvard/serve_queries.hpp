#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace solvard::tool {

// Which records a client asks for. Every value is checked before it reaches the database.
struct RecordQuery {
  std::optional<std::string> line;
  std::optional<int> machine;
  std::optional<std::string> card;
  std::optional<std::string> from, to;  // record dates, "yyyy-MM-dd", both ends included
  int after = 0;                        // records of earlier pages, skipped
  int limit = 100;
};

inline constexpr int kLongestPage = 1000;

// The query from the request's values (`value(name)` gives one, or nothing), or why one is
// refused ("limit: ..."). `knownLine` tells a line of the config.
std::optional<RecordQuery> readRecordQuery(
    const std::function<std::optional<std::string>(const char*)>& value,
    const std::function<bool(const std::string&)>& knownLine, std::string& problem);

// {"records":[{"kind","line","machine","card","date","time","collected_at","occurrence",
// "pass_id"}],"next_after": N or null}: oldest collected first, and the `after` of the next page
// when there may be one. Nothing, with the database's words, when it cannot be read.
std::optional<nlohmann::ordered_json> queryRecords(const std::string& database,
                                                   const RecordQuery& query, std::string& problem);

// The same records as CSV, a header line first.
std::string recordsCsv(const nlohmann::ordered_json& records);

// {"passes":[ledger rows, newest first]}, at most `limit`.
std::optional<nlohmann::ordered_json> queryPasses(const std::string& database, int limit,
                                                  std::string& problem);

// One action asked through the service, as the audit keeps it.
struct AuditEntry {
  std::string token, line, action, values, result;
  int machine = 0;
  bool ok = false;
};

// Writes the entry to solvard_audit (made when missing); false with the problem.
bool writeAudit(const std::string& database, const AuditEntry& entry, std::string& problem);

}  // namespace solvard::tool
