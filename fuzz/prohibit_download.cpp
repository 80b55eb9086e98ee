// The access-control download loop against a terminal whose every status, record and their
// timing come from the fuzzer, writing into scripted databases that may refuse or drop where
// the fuzzer says. The terminal takes the next prompt as the acknowledgement of the record
// before it, so no prompt may follow a record that was not committed; and the download must
// end within its waits and report exactly the rows it wrote.

#include <cstddef>
#include <cstdint>
#include <string>

#include "automation/error.hpp"
#include "component/library_line.hpp"
#include "component/prohibit_commands.hpp"
#include "db/pool.hpp"
#include "prohibit/pending_records.hpp"
#include "prohibit/register_download.hpp"
#include "prohibit/table_name.hpp"
#include "scripted_database.hpp"
#include "scripted_line.hpp"
#include "serial/settings.hpp"

using namespace solvard;
using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const int16_t machine = static_cast<int16_t>(in.word() % 300);
  const uint8_t faultByte = in.byte();
  const fuzz::DatabaseFault fault{faultByte & 0x3F, (faultByte & 0x40) != 0};
  const uint8_t tableChoice = in.byte();
  std::string table;
  switch (tableChoice % 4) {
    case 0: table = "Records"; break;
    case 1: table = "dbo.Records"; break;
    case 2: table = "[Access Records]"; break;
    default: table = in.text(40); break;
  }

  fuzz::VirtualLine line;
  component::librarySettings() = {3, "9600,N,8,1", 1024, 512};
  fuzz::ScriptedDatabase database(fault);
  db::ConnectionPool pool([&database] { return database.connect(); });
  const fuzz::ScriptedAnswers script = fuzz::scriptAnswers(in, *line.port);

  // Each input starts with nothing kept from an earlier download.
  component::setLibraryKeptRecords(nullptr);
  std::string result;
  prohibit::RegisterDownloadReport report;
  try {
    report = prohibit::downloadRegisterData(component::libraryLine(), machine,
                                            "Driver=Scripted;Database=doors", table, pool,
                                            component::libraryKeptRecords());
    result = report.text;
  } catch (const automation::AutomationError&) {
    result = prohibit::kError;
  }

  const std::size_t frames = line.port->framesWritten().size();
  const std::size_t rows = database.committedStartingWith("Insert into " + table + " values(");
  fuzz::require(result == prohibit::kNoData || result == prohibit::kIsEnd ||
                result == prohibit::kError);
  // Each row was reported as written, in order, and no record was reported that was not; a row
  // whose commit's reply was lost may be stored without being reported.
  const bool unknown =
      report.ending == prohibit::RegisterDownloadReport::Ending::kRecordOutcomeUnknown;
  fuzz::require(line.progress.size() <= rows && rows <= line.progress.size() + (unknown ? 1 : 0));
  for (std::size_t i = 0; i < line.progress.size(); ++i) {
    fuzz::require(line.progress[i].first == static_cast<int32_t>(i + 1) &&
                  line.progress[i].second == 0);
  }
  // The first prompt asks; every later one tells the terminal the record before it is safe.
  fuzz::require(frames <= rows + 1);
  if (result == prohibit::kNoData) fuzz::require(rows == 0 && frames == 1);
  if (result == prohibit::kIsEnd) fuzz::require(rows >= 1);
  if (machine > 255 || !prohibit::isTableName(table)) {
    fuzz::require(result == prohibit::kError && frames == 0 && rows == 0);
  }
  // Per prompt: its status within 1 to 2 seconds, then a record within 3 whole seconds.
  line.requireWaitsBounded(script, 6s);
  return 0;
}
