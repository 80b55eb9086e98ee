#pragma once

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "component/prohibit_commands.hpp"
#include "db/odbc_connection.hpp"
#include "db/pool.hpp"
#include "db/schema.hpp"
#include "db/scripted_connection.hpp"
#include "prohibit/pending_records.hpp"
#include "prohibit/register_download.hpp"
#include "prohibit_fixture.hpp"
#include "support/driver_path.hpp"
#include "ui/host_reports.hpp"

namespace solvard::prohibit::testing {

// A connection the pool may own and discard, passing every session operation on to a scripted
// connection that the test keeps, so what happened on it can be read after the pool let it go.
class ForwardingConnection final : public db::Connection {
 public:
  explicit ForwardingConnection(db::ScriptedConnection& to) : to_(to) {}
  ~ForwardingConnection() override {
    if (State() == db::kStateOpen) endSession();
  }
  std::string engineName() const override { return to_.engineName(); }

 protected:
  db::Outcome openSession(const std::string& text, std::string_view user, std::string_view password,
                          db::Diagnostic& diagnostic) override {
    return settle(to_.Open(text, user, password), diagnostic);
  }
  void endSession() override {
    if (to_.State() == db::kStateOpen) to_.Close();
  }
  db::Outcome executeText(std::string_view statement, db::Diagnostic& diagnostic) override {
    return settle(to_.Execute(statement), diagnostic);
  }
  db::Outcome beginTransaction(db::Diagnostic& diagnostic) override {
    return settle(to_.BeginTrans(), diagnostic);
  }
  db::Outcome endTransaction(bool commit, db::Diagnostic& diagnostic) override {
    return settle(commit ? to_.CommitTrans() : to_.RollbackTrans(), diagnostic);
  }
  std::unique_ptr<db::StatementHandle> prepareText(std::string_view,
                                                   db::Diagnostic& diagnostic) override {
    diagnostic = {"HY000", 0, "the record store prepares no statement"};
    return nullptr;
  }
  db::Outcome queryText(std::string_view statement, db::Rows& rows,
                        db::Diagnostic& diagnostic) override {
    return settle(to_.queryRows(statement, rows), diagnostic);
  }
  db::Outcome ping(db::Diagnostic& diagnostic) override {
    return settle(to_.isAlive() ? db::Outcome::kOk : db::Outcome::kConnectionLost, diagnostic);
  }

 private:
  db::Outcome settle(db::Outcome outcome, db::Diagnostic& diagnostic) {
    diagnostic = to_.lastDiagnostic();
    return outcome;
  }

  db::ScriptedConnection& to_;
};

// Downloads from a scripted terminal into scripted database connections, in virtual time. The
// pool lives as long as the test, so the connections it keeps can be looked at afterwards; the
// library's log and the progress reports are collected.
class DownloadTest : public ProhibitTest {
 protected:
  static constexpr const char* kText = "Driver=Scripted;Database=doors";

  void SetUp() override {
    ProhibitTest::SetUp();
    savedPending_ = component::setLibraryKeptRecords(nullptr);
    savedLog_ = ui::setLogSink([this](const std::string& line) { logged.push_back(line); });
    savedProgress_ = ui::setProgressSink([this](int32_t done, int32_t total) {
      progress.push_back({done, total, port->framesWritten().size(), committedNow()});
    });
  }
  void TearDown() override {
    ui::setLogSink(std::move(savedLog_));
    ui::setProgressSink(std::move(savedProgress_));
    component::setLibraryKeptRecords(std::move(savedPending_));
    if (!sqlitePath_.empty()) std::filesystem::remove(sqlitePath_);
    ProhibitTest::TearDown();
  }

  std::string download(int16_t machine = 3, const std::string& table = "Records") {
    lastReport = downloadRegisterData(component::libraryLine(), machine, kText, table, pool,
                                      component::libraryKeptRecords());
    return lastReport.text;
  }

  // The prompt is answered by a status saying a record follows, then the record; `record` may
  // be short.
  void answerRecord(Bytes record, std::chrono::nanoseconds recordAfter = 300ms) {
    port->answerNextFrame({{100ms, {3, 1, 1}}, {recordAfter, std::move(record)}});
  }
  void answerNoMore() { answer({3, 1, 0}, 100ms); }

  // Rows committed on every connection, in order of the connections made.
  std::vector<std::string> committedNow() const {
    std::vector<std::string> rows;
    for (const auto& c : made) {
      rows.insert(rows.end(), c->committed().begin(), c->committed().end());
    }
    return rows;
  }
  std::vector<std::string> prompts() const {
    std::vector<std::string> frames;
    for (const Bytes& frame : port->framesWritten()) frames.push_back(serial::hexBytes(frame));
    return frames;
  }

  // A fresh SQLite file holding an empty access-record table `table`, removed after the test.
  std::string sqliteFileWithTable(const std::string& table) {
    sqlitePath_ = std::filesystem::temp_directory_path() /
                  ("solvard-doors-" + std::to_string(::getpid()) + ".db");
    std::filesystem::remove(sqlitePath_);
    sqliteFile_ = solvard::testing::driverPath(sqlitePath_);
    auto connection = db::makeOdbcConnection();
    EXPECT_EQ(connection->Open(sqliteFile_), db::Outcome::kOk);
    EXPECT_TRUE(db::ensureAccessRecordTable(*connection, table).empty());
    return sqliteFile_;
  }

  struct Progress {
    int32_t done;
    int32_t total;
    std::size_t promptsSent;
    std::vector<std::string> committed;
  };

  // Runs on each connection the pool makes, before it is opened.
  std::function<void(db::ScriptedConnection&)> script = [](db::ScriptedConnection&) {};
  // Every connection the pool made, kept beyond the pool's use of it.
  std::vector<std::unique_ptr<db::ScriptedConnection>> made;
  db::ConnectionPool pool{[this] {
    made.push_back(std::make_unique<db::ScriptedConnection>());
    script(*made.back());
    return std::make_unique<ForwardingConnection>(*made.back());
  }};
  std::vector<std::string> logged;
  std::vector<Progress> progress;
  RegisterDownloadReport lastReport;

 private:
  std::shared_ptr<PendingRecords> savedPending_;
  std::filesystem::path sqlitePath_;
  std::string sqliteFile_;  // as the driver is given it
  ui::LogSink savedLog_;
  ui::ProgressSink savedProgress_;
};

inline const Bytes kFirstRecord{0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05};
inline const Bytes kSecondRecord{0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x17, 0x45};
inline const char* const kFirstRow =
    "Insert into Records values('1234567890','2001-06-29','08:05')";
// The question that tells the table is there, asked before the first prompt.
inline const char* const kTableCheck = "query select * from Records where 1=0";
inline const char* const kSecondRow =
    "Insert into Records values('0000012345','2001-06-29','17:45')";

}  // namespace solvard::prohibit::testing
