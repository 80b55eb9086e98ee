#include "db/timeouts.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "db/connection_text.hpp"

namespace solvard::db {
namespace {

using std::chrono::milliseconds;

// The SQLite3 driver's own lock wait when a text names none.
constexpr milliseconds kSqliteDriverDefault{100000};

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return out;
}

const ConnectionPart* find(const std::vector<ConnectionPart>& parts, std::string_view key) {
  for (const ConnectionPart& part : parts) {
    if (lowered(part.key) == key) return &part;
  }
  return nullptr;
}

bool anyValueNames(const std::vector<ConnectionPart>& parts, std::string_view word) {
  return std::any_of(parts.begin(), parts.end(), [&](const ConnectionPart& part) {
    return lowered(part.value).find(word) != std::string::npos;
  });
}

std::optional<milliseconds> millisecondsIn(std::string_view text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return milliseconds(value);
}

}  // namespace

SessionBounds sessionBounds(std::string_view odbcText) {
  SessionBounds bounds;
  bounds.odbc = std::string(odbcText);
  bounds.login = kLoginTimeout;
  bounds.giveLogin = true;
  bounds.statement = kStatementTimeout;
  std::string problem;
  const auto parts = parseConnectionText(odbcText, problem);
  // A text that does not read is the driver manager's to refuse; the defaults stand.
  if (!parts) return bounds;

  if (const ConnectionPart* pqopt = find(*parts, "pqopt")) {
    const std::string options = lowered(pqopt->value);
    const size_t key = options.find("connect_timeout");
    if (key != std::string::npos) {
      bounds.giveLogin = false;
      // libpq's own form, connect_timeout=N in seconds; another form leaves the bound unknown.
      const size_t digits = options.find_first_of("0123456789", key);
      const size_t end = options.find_first_not_of("0123456789", digits);
      const auto seconds = digits == std::string::npos
                               ? std::nullopt
                               : millisecondsIn(options.substr(digits, end - digits));
      bounds.login = seconds ? *seconds * 1000 : milliseconds(0);
    }
  }
  if (anyValueNames(*parts, "statement_timeout")) bounds.statement = milliseconds(0);

  const ConnectionPart* driver = find(*parts, "driver");
  bounds.sqlite = driver != nullptr && lowered(driver->value).find("sqlite3") != std::string::npos;
  if (!bounds.sqlite) return bounds;
  // The driver keeps no query timeout: its lock wait is the bound of every statement.
  bounds.statement = milliseconds(0);
  if (const ConnectionPart* timeout = find(*parts, "timeout")) {
    bounds.sqliteStatement = 2 * millisecondsIn(timeout->value).value_or(kSqliteDriverDefault);
    return bounds;
  }
  while (!bounds.odbc.empty() && (bounds.odbc.back() == ';' || bounds.odbc.back() == ' ')) {
    bounds.odbc.pop_back();
  }
  bounds.odbc += ";Timeout=" + std::to_string(milliseconds(kLoginTimeout).count() / 2);
  bounds.sqliteLockWait = milliseconds(kStatementTimeout) / 2;
  bounds.sqliteStatement = kStatementTimeout;
  return bounds;
}

std::string secondsText(milliseconds bound) {
  const long long ms = bound.count();
  if (ms % 1000 == 0 || ms >= 10000) return std::to_string((ms + 500) / 1000) + " s";
  return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s";
}

std::string timedOutText(milliseconds bound) { return "timed out after " + secondsText(bound); }

}  // namespace solvard::db
