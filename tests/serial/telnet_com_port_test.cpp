#include "serial/telnet_com_port.hpp"

#include <gtest/gtest.h>

namespace solvard::serial::telnet {
namespace {

struct Encoded {
  const char* name;
  Bytes bytes;
  Bytes expected;
};

class ComPortEncoding : public ::testing::TestWithParam<Encoded> {};

TEST_P(ComPortEncoding, GivesTheExactBytes) { EXPECT_EQ(GetParam().bytes, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Commands, ComPortEncoding,
    ::testing::Values(
        Encoded{"Baud19200", setBaudRate(19200), {255, 250, 44, 1, 0, 0, 0x4B, 0x00, 255, 240}},
        // 0xFF in a value is doubled like any other byte of the subnegotiation.
        Encoded{"BaudWithFF",
                setBaudRate(0x0001C2FF),
                {255, 250, 44, 1, 0x00, 0x01, 0xC2, 0xFF, 0xFF, 255, 240}},
        Encoded{"DataSize8", setDataSize(8), {255, 250, 44, 2, 8, 255, 240}},
        Encoded{"ParityNone", setParity(Parity::None), {255, 250, 44, 3, 1, 255, 240}},
        Encoded{"ParityEven", setParity(Parity::Even), {255, 250, 44, 3, 3, 255, 240}},
        Encoded{"ParityOdd", setParity(Parity::Odd), {255, 250, 44, 3, 2, 255, 240}},
        Encoded{"StopSize1", setStopSize(1), {255, 250, 44, 4, 1, 255, 240}},
        Encoded{"StopSize2", setStopSize(2), {255, 250, 44, 4, 2, 255, 240}},
        Encoded{"PurgeReceive", purgeData(Purge::Receive), {255, 250, 44, 12, 1, 255, 240}},
        Encoded{"PurgeTransmit", purgeData(Purge::Transmit), {255, 250, 44, 12, 2, 255, 240}},
        Encoded{"DtrOn", setControl(kControlDtrOn), {255, 250, 44, 5, 8, 255, 240}},
        Encoded{"EscapedData",
                escapeData(Bytes{0x01, 0xFF, 0x02, 0xFF, 0xFF}),
                {0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xFF, 0xFF, 0xFF}},
        Encoded{"LineSettings",
                lineSettings(LineSettings{19200, Parity::None, 8, 1}),
                {255, 250, 44,  1,  0, 0, 0x4B, 0x00, 255, 240, 255, 250, 44, 2,   8,  255,
                 240, 255, 250, 44, 3, 1, 255,  240,  255, 250, 44,  4,   1,  255, 240}}),
    [](const auto& info) { return std::string(info.param.name); });

// What a session gave for the server's bytes, fed in the pieces given.
struct Received {
  Bytes data;
  Bytes reply;
};

Received feed(Session& session, const std::vector<Bytes>& pieces) {
  Received got;
  for (const Bytes& piece : pieces) session.receive(piece, got.data, got.reply);
  return got;
}

TEST(TelnetSession, OffersComPortAndBinaryAsItOpens) {
  Session session;
  EXPECT_EQ(session.opening(), (Bytes{255, 251, 44, 255, 251, 0, 255, 253, 0, 255, 253, 3}));
  EXPECT_FALSE(session.comPortAgreed().has_value());
}

// The opening a device server such as ser2net sends: the agreements to what the host offered
// are taken without an answer, what it wants that the host refuses gets DONT or WONT once.
TEST(TelnetSession, AnswersOnlyWhatItHadNotAsked) {
  Session session;
  (void)session.opening();
  const Received got = feed(session, {{255, 251, 3, 255, 253, 3, 255, 251, 1,  255, 254, 1,
                                       255, 253, 0, 255, 251, 0, 255, 253, 44, 255, 253, 24}});
  EXPECT_TRUE(got.data.empty());
  // WILL SGA (asked for it, not yet offered it), DONT ECHO, WONT TERMINAL-TYPE.
  EXPECT_EQ(got.reply, (Bytes{255, 251, 3, 255, 254, 1, 255, 252, 24}));
  ASSERT_TRUE(session.comPortAgreed().has_value());
  EXPECT_TRUE(*session.comPortAgreed());
  // Once binary both ways, CR needs no NUL after it.
  EXPECT_EQ(session.send(Bytes{0x0D, 0xFF}), (Bytes{0x0D, 0xFF, 0xFF}));
}

TEST(TelnetSession, NotesARefusedComPort) {
  Session session;
  (void)session.opening();
  const Received got = feed(session, {{255, 254, 44}});
  EXPECT_TRUE(got.reply.empty());
  ASSERT_TRUE(session.comPortAgreed().has_value());
  EXPECT_FALSE(*session.comPortAgreed());
}

TEST(TelnetSession, SendsCrNulUntilBinaryIsAgreed) {
  Session session;
  EXPECT_EQ(session.send(Bytes{0x41, 0x0D, 0x42}), (Bytes{0x41, 0x0D, 0x00, 0x42}));
}

struct Reading {
  const char* name;
  std::vector<Bytes> pieces;
  Bytes data;
  ConfirmedLine confirmed;
  int refused = 0;
};

class ServerBytes : public ::testing::TestWithParam<Reading> {};

// The terminals' bytes come out whole and alone, however the server's bytes were cut.
TEST_P(ServerBytes, KeepNegotiationOutOfTheData) {
  const Reading& c = GetParam();
  Session session;
  (void)session.opening();
  // The server agrees to binary both ways first, as a device server does.
  Received got = feed(session, {{255, 251, 0, 255, 253, 0}});
  ASSERT_TRUE(got.reply.empty());
  got = feed(session, c.pieces);
  EXPECT_EQ(got.data, c.data);
  EXPECT_EQ(session.confirmed().baudRate, c.confirmed.baudRate);
  EXPECT_EQ(session.confirmed().dataBits, c.confirmed.dataBits);
  EXPECT_EQ(session.confirmed().parity, c.confirmed.parity);
  EXPECT_EQ(session.confirmed().stopBits, c.confirmed.stopBits);
  EXPECT_EQ(session.refused(), c.refused);
}

Bytes oversized() {
  Bytes bytes{255, 250, 44, 100};
  bytes.insert(bytes.end(), kMaxSubnegotiation + 10, 'x');
  bytes.insert(bytes.end(), {255, 240, 0x03, 0x02});
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, ServerBytes,
    ::testing::Values(
        Reading{"PlainReply", {{0x03, 0x02}}, {0x03, 0x02}, {}, 0},
        Reading{"DoubledFF", {{0x03, 0xFF, 0xFF, 0x02}}, {0x03, 0xFF, 0x02}, {}, 0},
        Reading{"DoubledFFSplit", {{0x03, 0xFF}, {0xFF, 0x02}}, {0x03, 0xFF, 0x02}, {}, 0},
        Reading{"BinaryCrNulKept", {{0x0D, 0x00}}, {0x0D, 0x00}, {}, 0},
        Reading{"BaudReplyAmongData",
                {{0x03, 255, 250, 44, 101, 0, 0, 0x4B, 0x00, 255, 240, 0x02}},
                {0x03, 0x02},
                {19200, std::nullopt, std::nullopt, std::nullopt},
                0},
        Reading{"ReplySplitEverywhere",
                {{255}, {250}, {44, 101}, {0, 0}, {0x4B}, {0x00, 255}, {240}, {0x07}},
                {0x07},
                {19200, std::nullopt, std::nullopt, std::nullopt},
                0},
        Reading{"AllFourReplies",
                {{255, 250, 44, 102, 8, 255, 240, 255, 250, 44, 103, 1, 255, 240},
                 {255, 250, 44, 104, 1, 255, 240, 255, 250, 44, 101, 0, 0, 0x25, 0x80, 255, 240}},
                {},
                {9600, 8, 1, 1},
                0},
        // Notices the host never asked for (modem state) are read and dropped.
        Reading{"ModemStateNotice", {{255, 250, 44, 107, 0, 255, 240, 0x09}}, {0x09}, {}, 0},
        Reading{"NopAndGoAhead", {{0x01, 255, 241, 255, 249, 0x02}}, {0x01, 0x02}, {}, 0},
        Reading{"BaudOfThreeBytes",
                {{255, 250, 44, 101, 0, 0x4B, 0x00, 255, 240, 0x05}},
                {0x05},
                {},
                1},
        Reading{"DataSizeOutOfRange", {{255, 250, 44, 102, 9, 255, 240}}, {}, {}, 1},
        Reading{"Oversized", {oversized()}, {0x03, 0x02}, {}, 1},
        // IAC WILL inside a subnegotiation cut it short: the WILL is still read as one.
        Reading{"CutShort", {{255, 250, 44, 101, 0, 255, 251, 0, 0x04}}, {0x04}, {}, 1},
        Reading{"EmptyComPort", {{255, 250, 44, 255, 240, 0x06}}, {0x06}, {}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The server's bytes before binary is agreed follow plain Telnet: CR NUL is a CR.
TEST(TelnetSession, DropsTheNulAfterCrBeforeBinary) {
  Session session;
  const Received got = feed(session, {{0x41, 0x0D}, {0x00, 0x0D, 0x0A}});
  EXPECT_EQ(got.data, (Bytes{0x41, 0x0D, 0x0D, 0x0A}));
}

}  // namespace
}  // namespace solvard::serial::telnet
