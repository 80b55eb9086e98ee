#pragma once

#include <string>
#include <string_view>

namespace solvard::db {

// "delete <table>..." written as "delete from <table>...". The attendance download empties its
// table with "delete WorkCardReadTime", a form SQL Server and Access accept but SQLite and
// PostgreSQL refuse; the form with `from` is accepted by every engine. The download passes its
// statement through here; every other text (one that already has `from`, or is not a delete)
// comes back unchanged.
std::string deleteWithFrom(std::string_view statement);

// Whether `name` can be put into a statement as a table name as it stands: one to three
// identifiers (letters, digits, '_', not starting with a digit, at most 128 characters each)
// joined by '.', as in Records or dbo.Records. Anything else (spaces, quotes, ';') is refused
// before it reaches the database.
bool isPlainTableName(std::string_view name);

}  // namespace solvard::db
