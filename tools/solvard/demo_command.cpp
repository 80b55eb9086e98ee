#include <unistd.h>

#include <filesystem>
#include <iomanip>
#include <iostream>

#include "attend_download.hpp"
#include "command_line.hpp"
#include "commands.hpp"
#include "component/attend.hpp"
#include "db/odbc_connection.hpp"
#include "hex_text.hpp"
#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {

namespace {

constexpr int16_t kDemoPort = 1;
constexpr uint8_t kMachine = 1;
constexpr int kRecords = 300;
constexpr int16_t kBaud = 9600;
constexpr const char* kDatabase = "solvard-demo.db";
constexpr std::size_t kRowsShown = 5;

// The first bytes of a long reply, as a line monitor would show them.
std::string replyStart(const serial::Bytes& reply) {
  const std::size_t shown = std::min<std::size_t>(reply.size(), 13);
  std::string text = hexText(std::span(reply).first(shown));
  if (reply.size() > shown) text += " ... (" + std::to_string(reply.size()) + " bytes)";
  return text;
}

void showExchanges(simulator::Simulator& sim) {
  for (const simulator::LoggedFrame& frame : sim.frames()) {
    std::cout << "  host -> line   " << hexText(frame.bytes) << "\n";
    if (!frame.reply.empty()) std::cout << "  line -> host   " << replyStart(frame.reply) << "\n";
  }
  sim.clearLog();
}

void showRows(const db::Rows& rows) {
  std::cout << "  MachineNo  CardNo  CardDate    CardTime\n";
  for (const db::Row& row : rows) {
    std::cout << "  " << std::left << std::setw(9) << row.at(0) << "  " << std::setw(6) << row.at(1)
              << "  " << std::setw(10) << row.at(2) << "  " << row.at(3) << "\n";
  }
}

// Reads back what the download wrote, through the library's own database layer.
bool showDatabase() {
  auto reader = db::makeOdbcConnection();
  db::Rows count, first, last;
  if (reader->Open(kDatabase) != db::Outcome::kOk ||
      reader->queryRows("select count(*) from WorkCardSource", count) != db::Outcome::kOk ||
      reader->queryRows("select MachineNo, CardNo, CardDate, CardTime from WorkCardSource "
                        "order by CardDate, CardTime limit " +
                            std::to_string(kRowsShown),
                        first) != db::Outcome::kOk ||
      reader->queryRows("select MachineNo, CardNo, CardDate, CardTime from WorkCardReadTime",
                        last) != db::Outcome::kOk) {
    std::cout << "cannot read " << kDatabase << ": " << reader->lastDiagnostic().text() << "\n";
    return false;
  }
  std::cout << "\n"
            << kDatabase << ": WorkCardSource holds " << count.at(0).at(0) << " rows; the first "
            << first.size() << ":\n";
  showRows(first);
  std::cout << "WorkCardReadTime holds the last record read:\n";
  showRows(last);
  return count.at(0).at(0) == std::to_string(kRecords);
}

}  // namespace

int demoCommand(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::cerr << "usage: solvard demo\n";
    return kExitUsage;
  }
  simulator::Simulator sim({.baudRate = kBaud, .paced = true});
  auto& terminal = sim.add(std::make_unique<simulator::AttendTerminal>(kMachine));
  terminal.storeRecords(simulator::sampleRecords(kRecords));
  try {
    sim.start();
  } catch (const std::exception& e) {
    std::cerr << "solvard demo: cannot create the simulated line: " << e.what() << "\n";
    return kExitFailed;
  }
  serial::mapPortDevice(kDemoPort, sim.path());
  std::cout << "A simulated line on " << sim.path() << " (port " << kDemoPort << ", " << kBaud
            << " baud): attendance terminal " << int{kMachine} << " holding " << kRecords
            << " card records.\n";

  // A fresh file every run, so the rows counted are this run's.
  std::error_code ignored;
  std::filesystem::remove(kDatabase, ignored);
  std::string problem;
  if (!prepareSqliteFile(kDatabase, problem)) {
    std::cout << "cannot prepare " << kDatabase << ": " << problem << "\n";
    return kExitFailed;
  }
  std::cout << "Database: the SQLite file " << kDatabase
            << ", tables WorkCardSource and WorkCardReadTime.\n\n"
            << "Attend.GetMacData(" << int{kMachine} << "): download every stored record\n";

  component::Attend clock;
  clock.setCommPortID(kDemoPort);
  clock.setCommBautRate(kBaud);
  clock.setConnectString(kDatabase);
  const DownloadOutcome outcome =
      runAttendDownload(clock, kMachine, std::cout, ::isatty(STDOUT_FILENO) == 1);
  showExchanges(sim);
  int status = reportAttendDownload(std::cout, kMachine, kDatabase, outcome);
  if (status == kExitOk && !showDatabase()) status = kExitFailed;

  if (status == kExitOk) {
    std::cout << "\nAttend.ClearMacData(" << int{kMachine}
              << "): the records are in the database, so the terminal may forget them\n";
    const int32_t cleared = clock.ClearMacData(kMachine);
    showExchanges(sim);
    std::cout << "  result " << cleared << "\n";
  }
  serial::sharedPort().PortOpen(false);
  serial::unmapPortDevice(kDemoPort);
  sim.stop();
  return status;
}

}  // namespace solvard::tool

namespace solvard::tool {

void addDemoCommand(CLI::App& app, int& status) {
  addWordListCommand(app, "demo", "download a simulated terminal's records into an SQLite file",
                     demoCommand, status);
}

}  // namespace solvard::tool
