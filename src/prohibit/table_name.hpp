#pragma once

#include "db/table_name.hpp"

namespace solvard::prohibit {

// The access-record download checks the host's table name by the rule in db/table_name.hpp,
// which the helper that makes the table checks too.
using db::isTableName;

}  // namespace solvard::prohibit
