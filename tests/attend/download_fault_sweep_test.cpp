// Every single database call of an attendance download fails in turn, as a refusal, as a
// dropped session, and as a session that drops after the call took effect; then every call of
// the port. The download keeps
// all of the clock's records or none of them: into a database that keeps the state of its
// transactions (PostgreSQL), a download run again afterwards leaves each record stored exactly
// once; into one that cannot be asked, a commit whose outcome is unknown is said so, and any
// other failure leaves nothing stored for the next download to store once. Either way the
// faulty download's log names what failed.
#include <memory>
#include <string>
#include <vector>

#include "attend/download_report.hpp"
#include "automation/error.hpp"
#include "component/attend_commands.hpp"
#include "component/library_line.hpp"
#include "db/session_faults.hpp"
#include "download_fixture.hpp"

namespace solvard::attend::testing {
namespace {

const std::vector<Bytes> kRecords{storedRecord(0x12, 0x34, 0x56, 0x07, 0x30),
                                  storedRecord(0x00, 0x00, 0x07, 0x08, 0x45),
                                  storedRecord(0x65, 0x43, 0x21, 0x09, 0x15)};
const std::vector<std::string> kRows{
    insertRow("WorkCardSource", "'3','123456','2001-05-07','08:30:00'"),
    insertRow("WorkCardSource", "'3','000007','2001-05-08','08:45:00'"),
    insertRow("WorkCardSource", "'3','654321','2001-05-09','08:15:00'")};

using Fault = db::SessionFault;
const auto& kFaults = db::kSessionFaults;

class AttendFaultSweep : public DownloadTest {
 protected:
  struct Run {
    int32_t result = 0;
    DownloadReport::Ending ending{};
    std::vector<std::string> stored;  // rows of WorkCardSource committed
    std::string log;
    int calls = 0;
    int portCalls = 0;
  };

  // One download of the clock's records into a fresh scripted database, failing call `failing`
  // (0: none). The clock keeps its records: each download gets them all.
  // `portFailing`: the port's call that fails instead (0: none).
  Run download(int failing, const Fault& fault, int portFailing = 0) {
    auto scripted = std::make_unique<serial::ScriptedPort>(clock);
    scripted->failCall(portFailing);
    port = scripted.get();
    component::replaceSharedPort(std::move(scripted));
    port->answerNextFrame({{0ms, downloadReply(3, 3, kRecords)}});
    auto connection = std::make_unique<db::ScriptedConnection>();
    auto calls = std::make_shared<int>(0);
    connection->failCall(calls, failing, fault.diagnostic, fault.tookEffect);
    if (ledger) connection->keepTransactionsIn(ledger);
    db::ScriptedConnection& database = *connection;
    replaceSharedDatabase(std::move(connection));
    logged.clear();
    Run run;
    try {
      run.result = object.GetMacData(3);
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      // A port failure before the open reaches the host as a failed call.
      run.result = -2;
      logged.push_back(error.description());
    }
    run.ending = lastDownload().ending;
    for (const std::string& statement : database.committed()) {
      if (statement.starts_with("insert into WorkCardSource")) run.stored.push_back(statement);
    }
    run.log = ::testing::PrintToString(logged);
    run.calls = *calls;
    run.portCalls = port->calls();
    // The port stays open after a download; the next one opens its own.
    port->PortOpen(false);
    replaceSharedDatabase(nullptr);
    return run;
  }

  void sweep(bool asksTheDatabase) {
    const Run clean = download(0, kFaults[0]);
    ASSERT_EQ(clean.result, 3);
    ASSERT_EQ(clean.stored, kRows);
    ASSERT_GT(clean.calls, 3);
    for (const Fault& fault : kFaults) {
      for (int failing = 1; failing <= clean.calls; ++failing) {
        SCOPED_TRACE(std::string(fault.name) + " at call " + std::to_string(failing) + " of " +
                     std::to_string(clean.calls));
        if (ledger) ledger = std::make_shared<db::TransactionLedger>();
        const Run faulty = download(failing, fault);
        if (faulty.stored == kRows) {
          // Stored whole: the result says so when the database could tell, and the log says the
          // records may be stored when it could not.
          if (asksTheDatabase) {
            EXPECT_EQ(faulty.result, 3) << faulty.log;
          }
          if (faulty.result != 3) {
            EXPECT_EQ(faulty.ending, DownloadReport::Ending::kOutcomeUnknown);
            EXPECT_NE(faulty.log.find("may be stored or not"), std::string::npos) << faulty.log;
          }
          continue;
        }
        EXPECT_TRUE(faulty.stored.empty()) << "part of a download was kept: " << faulty.log;
        EXPECT_NE(faulty.result, 3);
        EXPECT_NE(faulty.log.find(fault.diagnostic.message), std::string::npos) << faulty.log;
        if (!asksTheDatabase && faulty.ending == DownloadReport::Ending::kOutcomeUnknown) continue;
        const Run next = download(0, fault);
        EXPECT_EQ(next.stored, kRows) << next.log;
      }
    }
  }

  // Every call of the port fails in turn: the clock keeps its records whatever the download
  // did, so the download stores all of them or none, and the next one stores them all once.
  void sweepThePort() {
    const Run clean = download(0, kFaults[0]);
    ASSERT_EQ(clean.stored, kRows);
    ASSERT_GT(clean.portCalls, 10);
    for (int failing = 1; failing <= clean.portCalls; ++failing) {
      SCOPED_TRACE("port call " + std::to_string(failing) + " of " +
                   std::to_string(clean.portCalls));
      const Run faulty = download(0, kFaults[0], failing);
      if (faulty.stored == kRows) continue;
      EXPECT_TRUE(faulty.stored.empty()) << "part of a download was kept: " << faulty.log;
      EXPECT_NE(faulty.result, 3) << faulty.log;
      EXPECT_EQ(download(0, kFaults[0]).stored, kRows);
    }
  }

  std::shared_ptr<db::TransactionLedger> ledger;
};

TEST_F(AttendFaultSweep, IntoADatabaseThatKeepsItsTransactionsEveryRecordIsStoredOnce) {
  ledger = std::make_shared<db::TransactionLedger>();
  sweep(true);
}

TEST_F(AttendFaultSweep, IntoADatabaseThatCannotBeAskedARecordIsStoredOnceOrTheLogSaysSo) {
  sweep(false);
}

TEST_F(AttendFaultSweep, APortThatFailsAtAnyCallStoresAllOrNone) { sweepThePort(); }

}  // namespace
}  // namespace solvard::attend::testing
