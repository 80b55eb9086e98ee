#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvard::db {

// One `key=value` part of a connection text.
struct ConnectionPart {
  std::string key;    // as written, spaces around it removed
  std::string value;  // braces or quotes around it removed, their escapes undone
  std::string raw;    // the part as written, spaces around it removed
};

// Splits a `key=value;key=value` text. A value may be written in braces ({a;b}, where }} stands
// for }) or in single or double quotes (a doubled quote stands for the quote), and may then
// hold ';'. Empty parts are skipped. Gives nothing, and a reason in `problem`, for a part
// without '=' or a brace or quote left open.
std::optional<std::vector<ConnectionPart>> parseConnectionText(std::string_view text,
                                                               std::string& problem);

// Writes one `key=value` part for an ODBC connection text, putting the value in braces when it
// needs them (a ';', a leading '{', spaces at either end).
std::string odbcPart(std::string_view key, std::string_view value);

// Whether a host's connection text names an SQLite database file by its path: a text without
// '='. Every `key=value` form has one, and a file's path seldom does.
bool namesSqliteFile(std::string_view connectionText);

// The ODBC connection text for a host's connection text, or the reason it cannot be used:
// - a text with `=` and no `Provider` key is an ODBC text and passes through unchanged
//   (`Driver=...;...`, `DSN=...`);
// - a text without `=` is the path of an SQLite database file, the embedded default:
//   `Driver=SQLite3;Database=<path>;JournalMode=WAL;SyncPragma=FULL` (kSqliteDurableJournal);
//   a path with a ';' goes as a file URI (`Database=file:/data/a%3Bb.db`), because that driver
//   reads no braces;
// - `Provider=MSDASQL` (the OLE DB bridge to ODBC) is dropped; its `Data Source`, `User ID`,
//   `Password` become `DSN`, `UID`, `PWD`, and its `Extended Properties` text is taken as it
//   stands;
// - `Provider=Microsoft.Jet.OLEDB.4.0` or `Microsoft.ACE.OLEDB.*` becomes the Access ODBC
//   driver with `Dbq` from `Data Source` (required); `User ID`, `Password` and
//   `Jet OLEDB:Database Password` become `UID` and `PWD`, other OLE DB properties are dropped;
// - `Provider=SQLOLEDB`, `SQLNCLI*` or `MSOLEDBSQL*` becomes `ODBC Driver 17 for SQL Server`:
//   `Data Source` gives `Server`, `Initial Catalog` `Database`, `User ID` `UID`, `Password`
//   `PWD`, `Integrated Security=SSPI` `Trusted_Connection=yes`; OLE DB-only properties
//   (`Persist Security Info`, `OLE DB Services`) are dropped and other parts pass through;
// - another `Provider` is refused.
struct TranslatedText {
  std::string odbc;
  std::string problem;  // empty when `odbc` can be used
  bool ok() const { return problem.empty(); }
};
TranslatedText odbcConnectionText(std::string_view hostText);

// The driver names the translations use.
inline constexpr std::string_view kSqliteDriver = "SQLite3";
inline constexpr std::string_view kAccessDriver = "Microsoft Access Driver (*.mdb, *.accdb)";
inline constexpr std::string_view kSqlServerDriver = "ODBC Driver 17 for SQL Server";

// How a file named by its path is kept: a commit appends to the write-ahead log and waits for
// the disk once, for the log, so every committed record survives a power loss; the rollback
// journal (the engine's default) waits at least twice. A host's own ODBC text chooses for itself.
inline constexpr std::string_view kSqliteDurableJournal = "JournalMode=WAL;SyncPragma=FULL";

}  // namespace solvard::db
