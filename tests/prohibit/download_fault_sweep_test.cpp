// Every single database call of an access download fails in turn, as a refusal, as a dropped
// session, and as a session that drops after the call took effect. Into a database that keeps
// the state of its transactions (PostgreSQL), whatever the call, no record is lost and none is
// stored twice: after the faulty download and one more, the table holds each of the door's
// records exactly once. Into one that cannot be asked what became of a write whose session
// dropped, none is stored twice and one that may be missing is named in the log with its values.
// Either way the faulty download's log names what failed.
#include <algorithm>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation/error.hpp"
#include "component/library_line.hpp"
#include "db/session_faults.hpp"
#include "download_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

using Rows = std::vector<std::string>;

// A door as the line sees it: each prompt acknowledges the record sent before it, which the
// door then forgets, and is answered with the next record or "no more".
class Door {
 public:
  explicit Door(std::vector<Bytes> records) : held_(records.begin(), records.end()) {}

  void prompted(ScriptedPort& port) {
    if (sentOne_) held_.pop_front();
    sentOne_ = !held_.empty();
    if (!sentOne_) {
      port.answerNextFrame({{100ms, {3, 1, 0}}});
      return;
    }
    port.answerNextFrame({{100ms, {3, 1, 1}}, {300ms, held_.front()}});
  }
  std::size_t held() const { return held_.size(); }

 private:
  std::deque<Bytes> held_;
  bool sentOne_ = false;
};

const std::vector<Bytes> kRecords{
    {0x12, 0x34, 0x56, 0x78, 0x90, 0x01, 0x06, 0x29, 0x08, 0x05},
    {0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x17, 0x45},
    {0x00, 0x00, 0x09, 0x87, 0x65, 0x01, 0x06, 0x30, 0x07, 0x59},
};
const Rows kRows{
    "Insert into Records values('1234567890','2001-06-29','08:05')",
    "Insert into Records values('0000012345','2001-06-29','17:45')",
    "Insert into Records values('0000098765','2001-06-30','07:59')",
};

using Fault = db::SessionFault;
const auto& kFaults = db::kSessionFaults;

class DownloadFaultSweep : public DownloadTest {
 protected:
  struct Run {
    std::string text;
    Rows committed;
    std::vector<std::string> log;
    int calls = 0;
    int portCalls = 0;
  };

  // One download from `door` into fresh scripted connections, failing call `failing` (0: none).
  // `portFailing`: the port's call that fails instead (0: none).
  Run downloadFrom(Door& door, int failing, const Fault& fault, int portFailing = 0) {
    const bool postgresql = ledger != nullptr;
    auto scripted = std::make_unique<ScriptedPort>(clock);
    scripted->failCall(portFailing);
    ScriptedPort& thisPort = *scripted;
    // The fixture's progress sink reads the port in place.
    port = scripted.get();
    scripted->onFrame = [&door, port = scripted.get()](const Bytes&) { door.prompted(*port); };
    component::replaceSharedPort(std::move(scripted));
    auto calls = std::make_shared<int>(0);
    std::vector<std::unique_ptr<db::ScriptedConnection>> connections;
    db::ConnectionPool connectionsPool{[&] {
      connections.push_back(std::make_unique<db::ScriptedConnection>());
      connections.back()->failCall(calls, failing, fault.diagnostic, fault.tookEffect);
      if (postgresql) connections.back()->keepTransactionsIn(ledger);
      return std::make_unique<ForwardingConnection>(*connections.back());
    }};
    logged.clear();
    Run run;
    try {
      run.text = downloadRegisterData(component::libraryLine(), 3, kText, "Records",
                                      connectionsPool, component::libraryKeptRecords())
                     .text;
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      // A port failure before the open reaches the host as a failed call.
      run.text = "raised " + error.description();
    }
    for (const auto& c : connections) {
      run.committed.insert(run.committed.end(), c->committed().begin(), c->committed().end());
    }
    run.log = logged;
    run.calls = *calls;
    run.portCalls = thisPort.calls();
    return run;
  }

  // Runs the sweep; `exactlyOnce` holds the stored rows to every record once, otherwise to at
  // most once with each missing one named in the faulty download's log.
  void sweep(bool exactlyOnce) {
    Door clean(kRecords);
    const Run cleanRun = downloadFrom(clean, 0, kFaults[0]);
    ASSERT_EQ(cleanRun.text, "ISEND");
    ASSERT_EQ(cleanRun.committed, kRows);
    ASSERT_GT(cleanRun.calls, 3);
    for (const Fault& fault : kFaults) {
      for (int failing = 1; failing <= cleanRun.calls; ++failing) {
        SCOPED_TRACE(std::string(fault.name) + " at call " + std::to_string(failing) + " of " +
                     std::to_string(cleanRun.calls));
        component::setLibraryKeptRecords(nullptr);
        if (ledger) ledger = std::make_shared<db::TransactionLedger>();
        Door door(kRecords);
        const Run faulty = downloadFrom(door, failing, fault);
        const Run next = downloadFrom(door, 0, fault);
        EXPECT_EQ(door.held(), 0u);
        const std::string logText = ::testing::PrintToString(faulty.log);
        Rows stored = faulty.committed;
        stored.insert(stored.end(), next.committed.begin(), next.committed.end());
        for (const std::string& row : kRows) {
          const auto times = std::count(stored.begin(), stored.end(), row);
          if (exactlyOnce || times != 0) {
            EXPECT_EQ(times, 1) << row << "; the faulty download logged " << logText;
          } else {
            EXPECT_NE(logText.find("may be stored or not"), std::string::npos) << logText;
          }
        }
        EXPECT_EQ(stored.size(), std::set<std::string>(stored.begin(), stored.end()).size());
        if (faulty.committed != kRows) {
          EXPECT_NE(logText.find(fault.diagnostic.message), std::string::npos)
              << "the faulty download said " << faulty.text << " and logged " << logText;
        }
      }
    }
  }

  // Every call of the port fails in turn. A record the terminal sent and the port did not hand
  // over whole cannot be had again: the terminal's next prompt, in this download or the next,
  // tells it the record is stored. So no record is stored twice; every other one is stored by
  // the faulty download or the next; and one that is lost is named so in the faulty download's
  // log, which does not end as if the terminal were done.
  void sweepThePort() {
    Door clean(kRecords);
    const Run cleanRun = downloadFrom(clean, 0, kFaults[0]);
    ASSERT_EQ(cleanRun.committed, kRows);
    ASSERT_GT(cleanRun.portCalls, 10);
    int losses = 0;
    for (int failing = 1; failing <= cleanRun.portCalls; ++failing) {
      SCOPED_TRACE("port call " + std::to_string(failing) + " of " +
                   std::to_string(cleanRun.portCalls));
      component::setLibraryKeptRecords(nullptr);
      Door door(kRecords);
      const Run faulty = downloadFrom(door, 0, kFaults[0], failing);
      const Run next = downloadFrom(door, 0, kFaults[0]);
      EXPECT_EQ(door.held(), 0u);
      Rows stored = faulty.committed;
      stored.insert(stored.end(), next.committed.begin(), next.committed.end());
      const std::string logText = ::testing::PrintToString(faulty.log);
      const auto lost = std::count_if(kRows.begin(), kRows.end(), [&](const std::string& row) {
        return std::count(stored.begin(), stored.end(), row) == 0;
      });
      for (const std::string& row : kRows) {
        EXPECT_LE(std::count(stored.begin(), stored.end(), row), 1) << row;
      }
      EXPECT_LE(lost, 1);
      if (lost > 0) {
        ++losses;
        EXPECT_NE(logText.find("is lost"), std::string::npos) << logText;
        EXPECT_EQ(faulty.text, "ERROR") << logText;
      }
    }
    // The port failing between a prompt and the end of the record read it answered, each time.
    EXPECT_EQ(losses, 9);
  }

  // Set: the database keeps its transactions' states, as PostgreSQL does.
  std::shared_ptr<db::TransactionLedger> ledger;
};

TEST_F(DownloadFaultSweep, IntoADatabaseThatKeepsItsTransactionsEveryRecordIsStoredOnce) {
  ledger = std::make_shared<db::TransactionLedger>();
  sweep(true);
}

TEST_F(DownloadFaultSweep, IntoADatabaseThatCannotBeAskedNoRecordIsStoredTwice) { sweep(false); }

TEST_F(DownloadFaultSweep, APortThatFailsAtAnyCallStoresNoRecordTwiceAndNamesOneItLoses) {
  sweepThePort();
}

}  // namespace
}  // namespace solvard::prohibit::testing
