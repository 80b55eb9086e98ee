// A terminal that never stops sending still ends its download: a door that always has one more
// record stops at the download's bounds with what it handed over kept, and a clock whose stream
// never completes ends with nothing of it kept. All in virtual time.
#include "native_fixture.hpp"

namespace solvard::native_testing {
namespace {

const Bytes kDoorRecord{0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x08, 0x05};

struct DoorBoundCase {
  const char* name;
  AccessBounds bounds;
  int handed;  // records handed over, and prompts sent
  std::string log;
};

class DoorBounds : public NativeLineTest, public ::testing::WithParamInterface<DoorBoundCase> {};

// Every prompt is answered 300 ms later by "a record follows" and the record: the door never
// runs out.
TEST_P(DoorBounds, StopAfterTheRecordInHandAndSayTheTerminalMayHoldMore) {
  const DoorBoundCase& c = GetParam();
  std::vector<std::string> log;
  LineHooks hooks;
  hooks.log = [&](const std::string& text) { log.push_back(text); };
  line = makeLine(hooks);
  for (int i = 0; i < 40; ++i) port->answerNextFrame({{100ms, {3, 1, 1}}, {300ms, kDoorRecord}});
  int handed = 0;
  const auto got = DoorTerminal(line, machine(3))
                       .download(
                           [&](const AccessRecord&) {
                             ++handed;
                             return true;
                           },
                           c.bounds);
  ASSERT_TRUE(got) << got.error().message();
  EXPECT_EQ(got->records, c.handed);
  EXPECT_TRUE(got->more);
  EXPECT_EQ(handed, c.handed);
  EXPECT_EQ(sent(), std::vector<std::string>(static_cast<std::size_t>(c.handed), "03 01"));
  EXPECT_EQ(log, std::vector<std::string>{c.log});
  EXPECT_FALSE(port->isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Native, DoorBounds,
    ::testing::Values(
        DoorBoundCase{"Records",
                      {5, std::chrono::seconds(3600)},
                      5,
                      "GetRegisterData, terminal 3: the download reached its bound of 5 records "
                      "after 5 records written; the terminal was not prompted again and may hold "
                      "more"},
        // Records come at 0.3, 0.6, 0.9 and 1.2 s: the fourth is the first past the second.
        DoorBoundCase{"Time",
                      {65535, std::chrono::seconds(1)},
                      4,
                      "GetRegisterData, terminal 3: the download reached its bound of 1 s after 4 "
                      "records written; the terminal was not prompted again and may hold more"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NativeLineTest, DoorBoundsBelowOneRecordOrOneSecondSendNothing) {
  for (const AccessBounds bounds :
       {AccessBounds{0, std::chrono::seconds(60)}, AccessBounds{10, std::chrono::seconds(0)}}) {
    const auto got =
        DoorTerminal(line, machine(3)).download([](const AccessRecord&) { return true; }, bounds);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().code(), Errc::invalid_value);
  }
  EXPECT_EQ(sent(), std::vector<std::string>{});
}

// A clock's record: machine byte, card, date, time, end mark 0xAA (or a bad one).
Bytes clockRecord(uint8_t endMark) { return {3, 0x12, 0x34, 0x56, 1, 5, 7, 8, 0x30, endMark}; }

struct ClockStreamCase {
  const char* name;
  int count;                      // what the clock says it holds
  std::vector<uint8_t> endMarks;  // one record each, 900 ms apart
  Errc code;
  std::string message;
};

class ClockStream : public NativeLineTest, public ::testing::WithParamInterface<ClockStreamCase> {};

TEST_P(ClockStream, ThatNeverCompletesEndsTheDownloadWithNothingKept) {
  const ClockStreamCase& c = GetParam();
  std::vector<ScriptedLinePort::Piece> stream{
      {100ms, {3}}, {150ms, {static_cast<uint8_t>(c.count >> 8), static_cast<uint8_t>(c.count)}}};
  std::chrono::nanoseconds at = 150ms;
  for (const uint8_t mark : c.endMarks) {
    at += 900ms;
    stream.push_back({at, clockRecord(mark)});
  }
  port->answerNextFrame(stream);
  int taken = 0;
  const auto got =
      AttendTerminal(line, machine(3)).download([&](const AttendanceRecord&) { ++taken; });
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().code(), c.code);
  EXPECT_EQ(got.error().message(), c.message);
  EXPECT_EQ(taken, 0);
  EXPECT_EQ(sent(), std::vector<std::string>{"03 02 01"});
}

std::vector<uint8_t> marks(std::size_t good, std::size_t bad, std::size_t repeat) {
  std::vector<uint8_t> all;
  for (std::size_t r = 0; r < repeat; ++r) {
    all.insert(all.end(), good, 0xAA);
    all.insert(all.end(), bad, 0x55);
  }
  return all;
}

INSTANTIATE_TEST_SUITE_P(
    Native, ClockStream,
    ::testing::Values(
        // Every record spoilt: the host is out of step with the stream, or it is garbage.
        ClockStreamCase{"TenBadEndMarksInARow", 20, marks(0, 1, 40), Errc::unexpected_reply,
                        "the terminal's reply was not the one expected: GetMacData(3): 10 records "
                        "in a row came with a bad end mark after 0 of 20 records; nothing of this "
                        "download was kept, the terminal still holds them"},
        // One record, then nine spoilt: more spoilt records than the clock holds.
        ClockStreamCase{"MoreBadEndMarksThanRecords", 3, marks(1, 9, 2), Errc::unexpected_reply,
                        "the terminal's reply was not the one expected: GetMacData(3): 4 records "
                        "came with a bad end mark (more than the terminal holds) after 1 of 3 "
                        "records; nothing of this download was kept, the terminal still holds "
                        "them"},
        // 400 records at 19200 baud may take 60 s + 400 x 200 ms = 140 s; at 0.9 s a record
        // the 156th comes 140.4 s after the count, and the download ends before the 157th.
        ClockStreamCase{"SlowerThanTheLine", 400, marks(1, 0, 400), Errc::limit_reached,
                        "the download ran past its bound: GetMacData(3): the download passed its "
                        "bound of 140 s after 156 of 400 records; nothing of this download was "
                        "kept, the terminal still holds them"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::native_testing
