#include <gtest/gtest.h>

#include "simulator/attend_terminal.hpp"

namespace solvard::simulator {
namespace {

const Bytes kFirst = {0x12, 0x34, 0x56, 0x01, 0x05, 0x07, 0x08, 0x30, 0xAA};
const Bytes kSecond = {0x00, 0x00, 0x07, 0x01, 0x05, 0x08, 0x17, 0x05, 0xAA};
const Bytes kRequest = {4, 2, 0x01};

Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct ReplyCase {
  const char* name;
  std::vector<DownloadFault> faults;
  Bytes reply;
};

class DownloadReply : public ::testing::TestWithParam<ReplyCase> {};

// The terminal answers the request with its count and records in one stream, spoiled as the
// faults say; the faults spoil one download only.
TEST_P(DownloadReply, CarriesCountAndRecordsAsSpoiled) {
  AttendTerminal terminal(4);
  terminal.storeRecords({kFirst, kSecond});
  for (const DownloadFault& fault : GetParam().faults) terminal.injectDownloadFault(fault);
  EXPECT_EQ(terminal.handle(kRequest), GetParam().reply);
  EXPECT_EQ(terminal.handle(kRequest), joined({{4, 0, 2, 4}, kFirst, {4}, kSecond}));
  EXPECT_EQ(terminal.state().downloads, 2);
}

Bytes spoiledEndMark(Bytes record) {
  record.back() = 0x55;
  return record;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadReply,
    ::testing::Values(
        ReplyCase{"None", {}, joined({{4, 0, 2, 4}, kFirst, {4}, kSecond})},
        ReplyCase{"ReportsNone", {DownloadFault::reportsNone()}, {4, 0, 0}},
        ReplyCase{"CountNeverComes", {DownloadFault::countNeverComes()}, {4}},
        ReplyCase{"BadEndMarkThenTheRecordAgain",
                  {DownloadFault::badEndMark(1)},
                  joined({{4, 0, 2, 4}, spoiledEndMark(kFirst), {4}, kFirst, {4}, kSecond})},
        ReplyCase{"ShortRecordEndsTheStream",
                  {DownloadFault::shortRecord(1, 4)},
                  {4, 0, 2, 4, 0x12, 0x34, 0x56, 0x01}},
        ReplyCase{
            "MissingRecord", {DownloadFault::missingRecord(2)}, joined({{4, 0, 2, 4}, kFirst})},
        ReplyCase{"OtherMachine",
                  {DownloadFault::otherMachine(2, 9)},
                  joined({{4, 0, 2, 4}, kFirst, {9}, kSecond})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AttendTerminalRecords, ClearRecordsEmptiesTheStore) {
  AttendTerminal terminal(4);
  terminal.storeRecords({kFirst});
  EXPECT_EQ(terminal.handle(Bytes{4, 2, 0x06}), Bytes{4});
  EXPECT_EQ(terminal.handle(kRequest), (Bytes{4, 0, 0}));
}

TEST(AttendTerminalRecords, StoresWhatACountCanCarry) {
  AttendTerminal terminal(4);
  EXPECT_THROW(terminal.storeRecords({Bytes(8, 0)}), std::invalid_argument);
  EXPECT_THROW(terminal.storeRecords(std::vector<Bytes>(65536, kFirst)), std::invalid_argument);
  terminal.storeRecords(std::vector<Bytes>(65535, kFirst));
  const Bytes reply = terminal.handle(kRequest);
  EXPECT_EQ(reply.size(), 3u + 65535u * 10u);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 3), (Bytes{4, 0xFF, 0xFF}));
}

// The sample records are the same every run and read as real records: packed decimal digits, a
// date and a time of day, the end mark, in the order they were read.
TEST(AttendTerminalRecords, SampleRecordsAreRepeatableAndWellFormed) {
  const std::vector<Bytes> records = sampleRecords(500);
  ASSERT_EQ(records.size(), 500u);
  EXPECT_EQ(records, sampleRecords(500));
  EXPECT_NE(records, sampleRecords(500, 2));
  auto value = [](uint8_t b) { return b / 16 * 10 + b % 16; };
  std::string previous;
  for (const Bytes& r : records) {
    for (int i = 0; i < 8; ++i) EXPECT_TRUE((r[i] >> 4) <= 9 && (r[i] & 0x0F) <= 9);
    EXPECT_GE(value(r[4]), 1);
    EXPECT_LE(value(r[4]), 12);
    EXPECT_GE(value(r[5]), 1);
    EXPECT_LE(value(r[5]), 31);
    EXPECT_LE(value(r[6]), 23);
    EXPECT_LE(value(r[7]), 59);
    EXPECT_EQ(r[8], 0xAA);
    const std::string when = packedDigits(std::span(r).subspan(3, 5));
    EXPECT_GE(when, previous);
    previous = when;
  }
}

}  // namespace
}  // namespace solvard::simulator
