#include <algorithm>

#include "attend/download.hpp"
#include "component/attend_commands.hpp"
#include "component/dispatch.hpp"
#include "component/library_line.hpp"
#include "download_fixture.hpp"
#include "ui/messages.hpp"

namespace solvard::attend::testing {
namespace {

using serial::ScriptedPort;

// What the port did after the last frame written or bytes read: how the download ended.
std::vector<std::string> endingOf(const std::vector<std::string>& log) {
  auto last = std::find_if(log.rbegin(), log.rend(), [](const std::string& entry) {
    return entry.starts_with("Output") || entry.starts_with("Input ");
  });
  return {last.base(), log.end()};
}

Bytes badEndMark(Bytes record) {
  record.back() = 0x55;
  return record;
}

const Bytes kFirst = storedRecord(0x12, 0x34, 0x56, 0x07, 0x30);
const Bytes kSecond = storedRecord(0x00, 0x00, 0x07, 0x08, 0x45);
const Bytes kThird = storedRecord(0x65, 0x43, 0x21, 0x09, 0x00);

// The port closed, then the clearing that a closed port refuses (and the download skips).
const std::vector<std::string> kClosedAndCleared = {"PortOpen false", "InBufferCount 0 failed",
                                                    "OutBufferCount 0 failed"};

struct EndingCase {
  const char* name;
  Bytes reply;  // everything the terminal sends, at once
  int32_t result;
  std::vector<int32_t> reported;
  std::vector<std::string> ending;
  // The last operation on the database, and the rows it kept.
  std::string lastOnDatabase;
  std::vector<std::string> sourceRows;
};

class DownloadEndings : public DownloadTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(DownloadEndings, ResultMessagesPortAndRows) {
  const EndingCase& c = GetParam();
  if (!c.reply.empty()) port->answerNextFrame({{0ms, c.reply}});

  EXPECT_EQ(object.GetMacData(3), c.result);

  EXPECT_EQ(reported, c.reported);
  const std::vector<std::string> log = logAfter(kDownloadPortOpened);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "Output 03 02 01");
  EXPECT_EQ(endingOf(log), c.ending);
  EXPECT_EQ(database->log().back(), c.lastOnDatabase);
  std::vector<std::string> sourceRows;
  for (const std::string& statement : database->committed()) {
    if (statement.starts_with("insert into WorkCardSource")) sourceRows.push_back(statement);
  }
  EXPECT_EQ(sourceRows, c.sourceRows);
  EXPECT_TRUE(logged.empty());
}

const std::string kFirstRow = insertRow("WorkCardSource", "'3','123456','2001-05-07','08:30:00'");
const std::string kSecondRow = insertRow("WorkCardSource", "'3','000007','2001-05-08','08:45:00'");
const std::string kThirdRow = insertRow("WorkCardSource", "'3','654321','2001-05-09','08:00:00'");

INSTANTIATE_TEST_SUITE_P(
    Replies, DownloadEndings,
    ::testing::Values(
        EndingCase{"ThreeRecordsCommittedPortLeftOpen",
                   downloadReply(3, 3, {kFirst, kSecond, kThird}),
                   3,
                   {},
                   {},
                   "CommitTrans",
                   {kFirstRow, kSecondRow, kThirdRow}},
        EndingCase{"NoRecords", {3, 0, 0}, 0, {61209}, {"PortOpen false"}, "Open attend.db", {}},
        EndingCase{"NoReply", {}, -1, {61205}, kClosedAndCleared, "Open attend.db", {}},
        EndingCase{"ReplyFromAnotherMachine",
                   downloadReply(4, 1, {kFirst}),
                   -1,
                   {61208},
                   kClosedAndCleared,
                   "Open attend.db",
                   {}},
        EndingCase{"CountCutShort", {3, 0}, -1, {61207}, kClosedAndCleared, "Open attend.db", {}},
        EndingCase{"OneRecordLessThanCounted",
                   downloadReply(3, 3, {kFirst, kSecond}),
                   0,
                   {61208},
                   kClosedAndCleared,
                   "RollbackTrans",
                   {}},
        EndingCase{"RecordFromAnotherMachine",
                   [] {
                     Bytes reply = downloadReply(3, 2, {kFirst, kSecond});
                     reply[13] = 4;  // the second record's machine number
                     return reply;
                   }(),
                   0,
                   {},
                   kClosedAndCleared,
                   "RollbackTrans",
                   {}},
        EndingCase{"RecordCutShort",
                   {3, 0, 1, 3, 0x12, 0x34, 0x56, 0x01},
                   0,
                   {61210},
                   kClosedAndCleared,
                   "RollbackTrans",
                   {}},
        // The spoiled record is dropped and the next ten bytes complete the three.
        EndingCase{"BadEndMarkOnTheSecondOfThree",
                   downloadReply(3, 3, {kFirst, badEndMark(kSecond), kSecond, kThird}),
                   3,
                   {61211},
                   {},
                   "CommitTrans",
                   {kFirstRow, kSecondRow, kThirdRow}},
        EndingCase{"BadEndMarkAndNothingAfter",
                   downloadReply(3, 2, {kFirst, badEndMark(kSecond)}),
                   0,
                   {61211, 61208},
                   kClosedAndCleared,
                   "RollbackTrans",
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DownloadTest, MachineNumberOutsideAByteTouchesNeitherPortNorDatabase) {
  for (int16_t machine : {int16_t{256}, int16_t{-1}, int16_t{-32768}}) {
    EXPECT_EQ(object.GetMacData(machine), -1) << machine;
  }
  EXPECT_TRUE(port->log().empty());
  EXPECT_TRUE(database->log().empty());
  EXPECT_TRUE(reported.empty());
}

TEST_F(DownloadTest, PortThatCannotOpenSendsNothing) {
  port->failOpen();
  EXPECT_EQ(object.GetMacData(3), -1);
  EXPECT_EQ(reported, (std::vector<int32_t>{ui::msg::kPortCannotOpen}));
  EXPECT_TRUE(port->framesWritten().empty());
  EXPECT_FALSE(port->PortOpen());
}

// A port left open by an earlier download is closed before the settings are applied.
TEST_F(DownloadTest, PortLeftOpenIsClosedFirst) {
  port->answerNextFrame({{0ms, downloadReply(3, 1, {kFirst})}});
  ASSERT_EQ(object.GetMacData(3), 1);
  ASSERT_TRUE(port->PortOpen());
  const std::size_t before = port->log().size();
  port->answerNextFrame({{0ms, {3, 0, 0}}});
  EXPECT_EQ(object.GetMacData(3), 0);
  EXPECT_EQ(port->log().at(before), "PortOpen false");
  EXPECT_EQ(port->log().at(before + 1), "CommPort 3");
}

TEST_F(DownloadTest, ProgressOncePerRecordWritten) {
  port->answerNextFrame(
      {{0ms, downloadReply(3, 3, {kFirst, badEndMark(kSecond), kSecond, kThird})}});
  EXPECT_EQ(object.GetMacData(3), 3);
  EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
}

// The count is two bytes: every count the terminal can report is downloaded, beyond 32767 too.
// The terminal streams the records as the host reads them.
TEST_F(DownloadTest, CountsAbove32767AreDownloadedWhole) {
  constexpr int kCount = 0x8001;
  port->answerNextFrame({{0ms, {3, 0x80, 0x01}}});
  int sent = 0;
  component::libraryHooks().pump = [&] {
    if (sent < kCount && port->buffered().size() < 20) {
      Bytes record{3};
      const Bytes stored =
          storedRecord(0x00, static_cast<uint8_t>(sent >> 8), static_cast<uint8_t>(sent & 0xFF));
      record.insert(record.end(), stored.begin(), stored.end());
      port->arriveNow(record);
      ++sent;
    }
  };
  EXPECT_EQ(object.GetMacData(3), kCount);
  EXPECT_EQ(database->committed().size(), 3u * kCount);
  EXPECT_EQ(database->committed().back(),
            insertRow("WorkCardReadTime", "'3','008000','2001-05-07','08:30:00'"));
  EXPECT_EQ(progress.back(), std::make_pair(kCount, kCount));
  EXPECT_TRUE(reported.empty());
}

TEST_F(DownloadTest, LateBoundCallReturnsTheCount) {
  port->answerNextFrame({{0ms, downloadReply(3, 2, {kFirst, kSecond})}});
  std::vector<Variant> args{Variant(int16_t{3})};
  const component::DispatchResult r =
      component::tryInvoke(object, "GetMacData", component::MemberKind::Method, args);
  ASSERT_FALSE(r.error);
  EXPECT_EQ(r.value, Variant(int32_t{2}));
}

}  // namespace
}  // namespace solvard::attend::testing
