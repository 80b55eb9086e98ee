#pragma once

#include <cstdint>

#include "attend/record_columns.hpp"

namespace solvard::attend {

// Where an attendance download puts the records it reads: the database of the automation face,
// or whatever a native host chooses. The download holds the terminal to one rule whatever the
// sink: every record of it is kept, or none is, so that a download run again after a failure
// takes each record once.
class RecordSink {
 public:
  enum class Committed { kYes, kNo, kUnknown };

  virtual ~RecordSink() = default;
  // Asked before anything is sent: a download the sink cannot take is not asked of the
  // terminal.
  virtual bool ready() = 0;
  // The terminal reported `total` records and they are about to come.
  virtual bool begin(int32_t total) = 0;
  // One record; false ends the download and undoes it.
  virtual bool write(const RecordColumns& record) = 0;
  // Every record came: keeps them all. kUnknown when the sink cannot tell whether it kept them.
  virtual Committed commit() = 0;
  // The download failed after `begin`: nothing of it may be kept.
  virtual void rollback() = 0;
};

}  // namespace solvard::attend
