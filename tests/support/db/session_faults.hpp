#pragma once

#include "db/diagnostic.hpp"

namespace solvard::db {

// The ways one call of a database session fails in the fault sweeps (ScriptedConnection::failCall).
struct SessionFault {
  const char* name;
  Diagnostic diagnostic;
  bool tookEffect;  // the call took effect on the server before the session dropped
};

inline const SessionFault kSessionFaults[] = {
    {"refused", {"HY000", 10, "disk I/O error"}, false},
    {"session dropped", {"08S01", 0, "server closed the connection unexpectedly"}, false},
    {"reply lost", {"08S01", 0, "the server closed the connection"}, true},
};

}  // namespace solvard::db
