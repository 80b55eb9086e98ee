#pragma once

#include <memory>

#include "db/connection.hpp"

namespace solvard::attend {

// The library's one database connection for the attendance downloads, serving every `Attend`
// object. It is created the first time a download needs it (an ODBC connection) and never
// closed by the library: the first download that finds it closed opens it with that object's
// `ConnectString`, and it then serves every later download whatever their objects' texts.
db::Connection& sharedDatabase();

// Puts `connection` in the place of the shared connection (a scripted one in tests) and returns
// the one it replaces, which may be empty. An empty `connection` makes the next download create
// a fresh ODBC connection.
std::unique_ptr<db::Connection> replaceSharedDatabase(std::unique_ptr<db::Connection> connection);

}  // namespace solvard::attend
