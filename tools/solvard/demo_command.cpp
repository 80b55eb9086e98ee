#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iomanip>
#include <iostream>

#include "action_report.hpp"
#include "attend_download.hpp"
#include "commands.hpp"
#include "db/odbc_connection.hpp"
#include "hex_text.hpp"
#include "line_options.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"
#include "solvard/attend_terminal.hpp"

namespace solvard::tool {

namespace {

constexpr uint8_t kMachine = 1;
constexpr int kRecords = 300;
constexpr int16_t kBaud = 9600;
constexpr const char* kDatabase = "solvard-demo.db";
constexpr std::size_t kRowsShown = 5;

// The first bytes of a long reply, as a line monitor would show them.
std::string replyStart(const std::vector<uint8_t>& reply) {
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

int runDemo(bool progressOn, bool progressOff) {
  simulator::Simulator sim({.baudRate = kBaud, .paced = true});
  auto& terminal = sim.add(std::make_unique<simulator::AttendTerminal>(kMachine));
  terminal.storeRecords(simulator::sampleRecords(kRecords));
  try {
    sim.start();
  } catch (const std::exception& e) {
    std::cerr << "solvard demo: cannot create the simulated line: " << e.what() << "\n";
    return kExitFailed;
  }
  std::cout << "A simulated line on " << sim.path() << " (" << kBaud
            << " baud): attendance terminal " << int{kMachine} << " holding " << kRecords
            << " card records.\n";

  // A fresh file every run, so the rows counted are this run's.
  std::error_code ignored;
  std::filesystem::remove(kDatabase, ignored);
  std::cout << "Database: the SQLite file " << kDatabase
            << ", tables WorkCardSource and WorkCardReadTime.\n\n"
            << "AttendTerminal(" << int{kMachine}
            << ").downloadToDatabase: every stored record, in one transaction\n";

  LineOptions options;
  options.machine = kMachine;
  options.port = sim.path();
  options.baud = kBaud;
  options.progress = progressOn;
  options.noProgress = progressOff;
  int status = finish(downloadAttendance(options, kDatabase), false);
  showExchanges(sim);
  if (status == kExitOk && !showDatabase()) status = kExitFailed;

  if (status == kExitOk) {
    std::cout << "\nAttendTerminal(" << int{kMachine}
              << ").clearRecords: the records are in the database, so the terminal may forget "
                 "them\n";
    ActionLine line(options);
    AttendTerminal clock(line.line(), MachineNumber::make(kMachine).value());
    const auto cleared = clock.clearRecords();
    showExchanges(sim);
    std::cout << "  " << (cleared ? "acknowledged" : cleared.error().message()) << "\n";
    if (!cleared) status = kExitFailed;
  }
  sim.stop();
  return status;
}

}  // namespace

void addDemoCommand(CLI::App& app, int& status) {
  static bool progressOn = false, progressOff = false;
  CLI::App* demo = app.add_subcommand(
      "demo", "download a simulated terminal's records into an SQLite file through the library");
  demo->footer("Makes solvard-demo.db afresh in the current folder.");
  demo->add_flag("--progress", progressOn, "show the progress even when it is not a terminal");
  demo->add_flag("--no-progress", progressOff, "show no progress");
  demo->callback([&status] { status = runDemo(progressOn, progressOff); });
}

}  // namespace solvard::tool
