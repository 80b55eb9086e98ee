#pragma once

#include <string_view>

namespace solvard::db {

// Whether the host's table name may stand in a statement as it is (the access records' insert,
// the probe and `create table` of schema.hpp). It must be one or more parts joined by ".", each
// either
// - a plain identifier: letters of any script, ASCII digits, "_" and combining marks, not
//   beginning with a digit or a mark (Records, dbo.Records, Записи); or
// - a quoted identifier in brackets or double quotes ([Access Records], "Access Records"),
//   not empty, holding no quote of any kind (' " ` [ ]), no ";", "\", "--", "/*" or "*/", no
//   control character, and beyond ASCII only letters and marks.
// Anything else (spaces outside quotes, an empty part, a doubled closing quote, a comment mark,
// malformed UTF-8) could change what the statement does, so the name is refused.
bool isTableName(std::string_view name);

}  // namespace solvard::db
