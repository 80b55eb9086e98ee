#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace solvard::db {

// "delete <table>..." written as "delete from <table>...". The attendance download empties its
// table with "delete WorkCardReadTime", a form SQL Server and Access accept but SQLite and
// PostgreSQL refuse; the form with `from` is accepted by every engine. The download passes its
// statement through here; every other text (one that already has `from`, or is not a delete)
// comes back unchanged.
std::string deleteWithFrom(std::string_view statement);

// The statement that writes one row of texts: `insertInto` " " `table` " values('a','b',...)",
// the opening words as the caller spells them ("insert into", "Insert into"). Each value goes
// between quotes as it stands, so only texts that hold no quote may be given (the downloads
// pass decoded digits, dates and times), and the table name as the caller has checked it.
std::string insertValues(std::string_view insertInto, std::string_view table,
                         std::initializer_list<std::string_view> values);

// Whether `name` is a plain ASCII table name, one that every engine takes unquoted: one to three
// identifiers (letters, digits, '_', not starting with a digit, at most 128 characters each)
// joined by '.', as in Records or dbo.Records. The `solvard` command makes an access-record table
// in an SQLite file only for such a name. It is narrower than isTableName (table_name.hpp), the
// rule for what may stand in a statement at all.
bool isPlainTableName(std::string_view name);

}  // namespace solvard::db
