#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "download_fixture.hpp"
#include "serial/host_link.hpp"

namespace solvard::prohibit::testing {
namespace {

using Rows = std::vector<std::string>;
using Frames = std::vector<std::string>;
using Ending = RegisterDownloadReport::Ending;

// A row written on PostgreSQL: the server returns the transaction's marker with it.
std::string insertedWithMarker(const char* row) {
  return std::string("query ") + row + " returning txid_current()";
}

// A PostgreSQL session: each row in a transaction of its own whose number is taken first.
void asPostgres(db::ScriptedConnection& c) {
  c.setEngine("PostgreSQL");
  c.answerQuery("select txid_current()", {{"731"}});
}

TEST_F(DownloadTest, RecordKeptFromARefusedRowIsWrittenBeforeTheNextFirstPrompt) {
  answerRecord(kFirstRecord);
  answerRecord(kSecondRecord);
  auto refuseSecond = ui::setProgressSink([this](int32_t, int32_t) {
    made[0]->failNext("Execute", {"HYT00", 0, "database is locked"});
  });
  EXPECT_EQ(download(), "ERROR");
  ui::setProgressSink(std::move(refuseSecond));
  EXPECT_EQ(committedNow(), Rows{kFirstRow});

  // The next download's first prompt acknowledges the second record, which the terminal then
  // forgets: the kept copy is written before it goes out.
  std::vector<Rows> committedAtPrompt;
  port->onFrame = [&](const Bytes&) { committedAtPrompt.push_back(committedNow()); };
  answerNoMore();
  EXPECT_EQ(download(), "NODATA");
  EXPECT_EQ(committedAtPrompt, std::vector<Rows>{(Rows{kFirstRow, kSecondRow})});
  EXPECT_EQ(committedNow(), (Rows{kFirstRow, kSecondRow}));
  EXPECT_EQ(lastReport.pendingWritten, 1);
  EXPECT_EQ(lastReport.pendingKept, 0);

  // Written once: a third download finds nothing kept.
  answerNoMore();
  EXPECT_EQ(download(), "NODATA");
  EXPECT_EQ(committedNow(), (Rows{kFirstRow, kSecondRow}));
}

TEST_F(DownloadTest, KeptRecordThatStillCannotBeWrittenStopsBeforeAnyPrompt) {
  script = [](db::ScriptedConnection& c) {
    c.failStatement(kFirstRow, {"HYT00", 0, "database is locked"});
  };
  answerRecord(kFirstRecord);
  EXPECT_EQ(download(), "ERROR");
  const std::size_t promptsBefore = prompts().size();
  EXPECT_EQ(download(), "ERROR");
  EXPECT_EQ(lastReport.ending, Ending::kPendingNotWritten);
  EXPECT_EQ(lastReport.pendingKept, 1);
  EXPECT_EQ(prompts().size(), promptsBefore);
  // Kept per terminal: another machine number on the line is not held up by it.
  answer({4, 1, 0}, 100ms);
  EXPECT_EQ(download(4), "NODATA");
}

struct LostCommitCase {
  const char* name;
  // The server's answers to the question about the transaction, one per asking.
  std::vector<db::Rows> answers;
  Ending ending;
  Rows committed;
};

class LostCommit : public DownloadTest, public ::testing::WithParamInterface<LostCommitCase> {};

TEST_P(LostCommit, IsSettledByAskingTheDatabase) {
  const LostCommitCase& c = GetParam();
  script = [&](db::ScriptedConnection& connection) {
    asPostgres(connection);
    connection.answerQueries("select txid_status(731)", c.answers);
  };
  answerRecord(kFirstRecord);
  answerRecord(kSecondRecord);
  answerNoMore();
  auto dropAtSecond = ui::setProgressSink([this, &c](int32_t done, int32_t) {
    if (done != 1) return;
    if (std::string(c.name) == "aborted") {
      // The session drops before the server commits: it rolls the row back.
      made[0]->failNext("CommitTrans", {"08S01", 0, "the server closed the connection"});
    } else {
      made[0]->dropAfterNext("CommitTrans");
    }
  });
  download();
  ui::setProgressSink(std::move(dropAtSecond));
  EXPECT_EQ(lastReport.ending, c.ending);
  EXPECT_EQ(made[0]->committed(), c.committed);
  if (c.ending != Ending::kRecordOutcomeUnknown) {
    EXPECT_EQ(lastReport.pendingKept, 0);
    return;
  }
  EXPECT_EQ(prompts(), (Frames{"03 01", "03 01"}));
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0],
            "GetRegisterData, terminal 3: record 2 (card 0000012345, 2001-06-29 17:45): the "
            "connection dropped while committing " +
                std::string(kSecondRow) +
                " ([08S01] (0) the server closed the connection) and the database could not "
                "say what became of it; the terminal was not prompted again; it is kept, and the "
                "next download asks the database whether it was stored before writing it");
  // Kept with its transaction: the next download asks first, and writes it only when the
  // database says it was not stored; while it cannot say, no prompt goes out.
  EXPECT_EQ(lastReport.pendingKept, 1);
  struct Next {
    const char* answer;
    Rows written;
    const char* result;
    int kept;
  };
  // Asked again: still in progress (no prompt), then settled one way or the other.
  const Next settled = std::string(c.name) == "never_settled"
                           ? Next{"committed", {}, "NODATA", 0}
                           : Next{"aborted", {kSecondRow}, "NODATA", 0};
  for (const Next& next : {Next{"in progress", {}, "ERROR", 1}, settled}) {
    made.back()->answerQueries("select txid_status(731)", {{{next.answer}}});
    const std::size_t promptsBefore = prompts().size();
    const std::size_t committedBefore = made.back()->committed().size();
    if (next.kept == 0) answerNoMore();
    EXPECT_EQ(download(), next.result) << next.answer;
    EXPECT_EQ(Rows(made.back()->committed().begin() + static_cast<long>(committedBefore),
                   made.back()->committed().end()),
              next.written)
        << next.answer;
    EXPECT_EQ(lastReport.pendingKept, next.kept) << next.answer;
    EXPECT_EQ(prompts().size() - promptsBefore, next.kept == 0 ? 1u : 0u) << next.answer;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LostCommit,
    ::testing::Values(
        // The reply to the commit was lost, but the row was committed: not written again.
        LostCommitCase{"committed", {{{"committed"}}}, Ending::kEnd, {kFirstRow, kSecondRow}},
        // Rolled back: written again, once.
        LostCommitCase{"aborted", {{{"aborted"}}}, Ending::kEnd, {kFirstRow, kSecondRow}},
        // Still in progress for a while (its old session not yet ended), then committed.
        LostCommitCase{"in_progress",
                       {{{"in progress"}}, {{"in progress"}}, {{"committed"}}},
                       Ending::kEnd,
                       {kFirstRow, kSecondRow}},
        // In progress for as long as it is asked, or forgotten: neither written again nor
        // acknowledged.
        LostCommitCase{"never_settled",
                       {{{"in progress"}}},
                       Ending::kRecordOutcomeUnknown,
                       {kFirstRow, kSecondRow}},
        LostCommitCase{
            "forgotten", {{{""}}}, Ending::kRecordOutcomeUnknown, {kFirstRow, kSecondRow}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, SessionDroppedBeforeTheCommitWritesTheRowAgainOnANewOne) {
  script = asPostgres;
  answerRecord(kFirstRecord);
  answerNoMore();
  // The insert reached the server inside the row's transaction: dropped before the commit, the
  // server rolled it back.
  script = [](db::ScriptedConnection& c) {
    asPostgres(c);
    c.dropAfterNext("query");
  };
  EXPECT_EQ(download(), "ISEND");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->committed(), Rows{kFirstRow});
  EXPECT_EQ(made[0]->log(), (Rows{std::string("Open ") + kText, kTableCheck, "BeginTrans",
                                  insertedWithMarker(kFirstRow) + " reply lost", "Close",
                                  std::string("Open ") + kText, "BeginTrans",
                                  insertedWithMarker(kFirstRow), "CommitTrans"}));
}

TEST_F(DownloadTest, LostRowOnAnEngineThatCannotBeAskedIsNeitherRepeatedNorKept) {
  answerRecord(kFirstRecord);
  answerRecord(kSecondRecord);
  answerNoMore();
  auto dropAtSecond =
      ui::setProgressSink([this](int32_t, int32_t) { made[0]->dropAfterNext("Execute"); });
  EXPECT_EQ(download(), "ERROR");
  ui::setProgressSink(std::move(dropAtSecond));
  EXPECT_EQ(lastReport.ending, Ending::kRecordOutcomeUnknown);
  // Stored once by the server; never written again.
  EXPECT_EQ(made[0]->committed(), (Rows{kFirstRow, kSecondRow}));
  EXPECT_EQ(lastReport.pendingKept, 0);
  EXPECT_EQ(prompts(), (Frames{"03 01", "03 01"}));
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_TRUE(
      logged[0].ends_with("the row may be stored or not; the terminal was not prompted "
                          "again"))
      << logged[0];
}

TEST_F(DownloadTest, EndingsTellSilenceFromTheEndAndAStopFromEither) {
  answerRecord(kFirstRecord);
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(lastReport.ending, Ending::kStoppedAnswering);
  EXPECT_EQ(lastReport.written, 1);
  EXPECT_EQ(logged.back(),
            "GetRegisterData, terminal 3: the terminal did not answer the prompt after record 1; "
            "it may hold more records");

  answerRecord(kFirstRecord);
  answerNoMore();
  EXPECT_EQ(download(), "ISEND");
  EXPECT_EQ(lastReport.ending, Ending::kEnd);

  // A stop asked for while a record is on its way: that record is written, no prompt follows.
  const std::size_t promptsBefore = prompts().size();
  bool stop = false;
  component::libraryHooks().stopRequested = [&] { return stop; };
  auto stopAtFirst = ui::setProgressSink([&](int32_t, int32_t) { stop = true; });
  answerRecord(kSecondRecord);
  answerRecord(kFirstRecord);
  EXPECT_EQ(download(), "ERROR");
  ui::setProgressSink(std::move(stopAtFirst));
  component::libraryHooks().stopRequested = {};
  EXPECT_EQ(lastReport.ending, Ending::kStopped);
  EXPECT_EQ(lastReport.written, 1);
  EXPECT_EQ(committedNow().back(), kSecondRow);
  EXPECT_EQ(prompts().size(), promptsBefore + 1);
  EXPECT_FALSE(port->PortOpen());
}

}  // namespace
}  // namespace solvard::prohibit::testing
