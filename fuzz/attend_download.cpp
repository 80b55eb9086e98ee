// The attendance download loop against a terminal whose every reply byte and its timing come
// from the fuzzer, writing into a scripted database that may refuse or drop where the fuzzer
// says. The download must end within its waits, and never report more records than it
// committed, nor keep rows of a download it reported as failed.

#include <cstddef>
#include <cstdint>

#include "component/attend.hpp"
#include "component/shared_database.hpp"
#include "scripted_database.hpp"
#include "scripted_line.hpp"

using namespace solvard;
using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const uint8_t machine = in.byte();
  const uint8_t faultByte = in.byte();
  // A fault on one of the first 31 session operations, or none.
  const fuzz::DatabaseFault fault{faultByte & 0x1F, (faultByte & 0x20) != 0};
  const bool wrongMachine = (faultByte & 0xC0) == 0xC0;

  fuzz::VirtualLine line;
  fuzz::ScriptedDatabase database(fault);
  auto saved = attend::replaceSharedDatabase(database.connect());

  component::Attend object;
  object.setCommPortID(3);
  object.setConnectString("attend.db");
  const std::size_t offered = size;
  const fuzz::ScriptedAnswers script = fuzz::scriptAnswers(in, *line.port, 1);

  const int32_t result = object.GetMacData(wrongMachine ? int16_t{300} : int16_t{machine});

  // The longest wait is for a record's bytes, 3 seconds, or for the count, more than 3.
  line.requireWaitsBounded(script, 3s + 4 * fuzz::VirtualLine::kSlice);
  const std::size_t rows = database.committedStartingWith("insert into WorkCardSource ");
  if (result > 0) {
    fuzz::require(rows == static_cast<std::size_t>(result));
    // Each record took ten bytes of the script (its machine number, nine bytes).
    fuzz::require(static_cast<std::size_t>(result) * 10 <= offered);
    fuzz::require(!line.progress.empty() && line.progress.back().first == result &&
                  line.progress.back().second == result);
  } else {
    fuzz::require(result == 0 || result == -1);
    fuzz::require(rows == 0);
  }
  // The last record read is the one row the read-time table keeps: each row replaces it.
  std::size_t readTimes = 0;
  for (const std::string& statement : database.committed()) {
    if (statement.starts_with("delete")) readTimes = 0;
    if (statement.starts_with("insert into WorkCardReadTime ")) ++readTimes;
  }
  fuzz::require(readTimes <= 1);
  if (wrongMachine) fuzz::require(result == -1 && line.port->framesWritten().empty());

  attend::replaceSharedDatabase(std::move(saved));
  return 0;
}
