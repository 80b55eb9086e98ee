#pragma once

#include "solvard/records.hpp"

namespace solvard::attend {

// An attendance download hands its records to a solvard::AttendanceSink: the automation face's
// database, or whatever a native host chooses. The download holds the terminal to one rule
// whatever the sink: every record of it is kept, or none is, so that a download run again after
// a failure takes each record once.
//
// A store that can lose track of its commit (a database whose connection dropped around it)
// says so by implementing this as well; the download asks for it and, finding it, commits
// through it instead of `commit`.
class UncertainCommit {
 public:
  enum class Committed { kYes, kNo, kUnknown };

  virtual ~UncertainCommit() = default;
  // Keeps every record taken. kUnknown when the store cannot tell whether it kept them.
  virtual Committed commitOutcome() = 0;
};

}  // namespace solvard::attend
