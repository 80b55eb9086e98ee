#pragma once

#include <memory>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "db/database_fixture.hpp"
#include "db/schema.hpp"
#include "prohibit/pending_records.hpp"
#include "serial/host_link.hpp"
#include "serial/shared_port.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator_fixture.hpp"
#include "ui/host_reports.hpp"

namespace solvard::integration {

// An access-control terminal on the simulated line and a database of the test's own (an SQLite
// file, or a schema on the PostgreSQL server SOLVARD_PG_CONNECT names), driven through a
// `Prohibit` object on the library's own port in real time.
class AccessDownload : public SimulatorTest,
                       public ::testing::WithParamInterface<db::testing::Engine> {
 protected:
  static constexpr uint8_t kMachine = 3;

  void SetUp() override {
    if (!database.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    SimulatorTest::SetUp();
    terminal = &sim.add(std::make_unique<simulator::AccessTerminal>(kMachine));
    savedHooks_ = component::libraryHooks();
    component::libraryHooks().reporter = [this](int32_t n) { reported.push_back(n); };
    savedLog_ = ui::setLogSink([this](const std::string& line) { logged.push_back(line); });
    object.setCommPortID(kPortNumber);
    savedPending_ = component::setLibraryKeptRecords(nullptr);
  }
  void TearDown() override {
    if (terminal == nullptr) return;  // skipped before anything was set up
    component::sharedPort().PortOpen(false);
    component::setLibraryKeptRecords(std::move(savedPending_));
    ui::setLogSink(std::move(savedLog_));
    component::libraryHooks() = savedHooks_;
    SimulatorTest::TearDown();
  }

  // Runs a statement on the test's database, e.g. to make the table.
  void execute(const std::string& statement) {
    auto connection = db::makeOdbcConnection();
    ASSERT_EQ(connection->Open(database.text()), db::Outcome::kOk)
        << connection->lastDiagnostic().text();
    ASSERT_EQ(connection->Execute(statement), db::Outcome::kOk)
        << connection->lastDiagnostic().text();
  }
  void makeTable(const std::string& table) {
    auto connection = db::makeOdbcConnection();
    ASSERT_EQ(connection->Open(database.text()), db::Outcome::kOk);
    ASSERT_TRUE(db::ensureAccessRecordTable(*connection, table).empty());
  }
  db::Rows rows(const std::string& table) {
    auto connection = db::makeOdbcConnection();
    db::Rows result;
    EXPECT_EQ(connection->Open(database.text()), db::Outcome::kOk);
    EXPECT_EQ(connection->queryRows("select * from " + table, result), db::Outcome::kOk)
        << connection->lastDiagnostic().text();
    return result;
  }

  std::string download(const std::string& table = "Records") {
    std::string text = database.text();
    std::string name = table;
    return object.GetRegisterData(kMachine, text, name);
  }
  simulator::AccessTerminal::State terminalState() {
    return sim.withState([&] { return terminal->state(); });
  }
  std::vector<serial::Bytes> framesSeen() {
    std::vector<serial::Bytes> frames;
    for (const auto& frame : sim.frames()) frames.push_back(frame.bytes);
    return frames;
  }

  db::testing::Database database{GetParam()};
  simulator::AccessTerminal* terminal = nullptr;
  component::Prohibit object;
  std::vector<std::string> logged;

 private:
  component::LibraryHooks savedHooks_;
  std::shared_ptr<prohibit::PendingRecords> savedPending_;
  ui::LogSink savedLog_;
};

inline const serial::Bytes kPrompt{3, 0x01};

}  // namespace solvard::integration
