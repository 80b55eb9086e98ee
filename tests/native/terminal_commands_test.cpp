// Each native command puts the terminal's own frame on the line and reads its reply into a
// result; a failed exchange names what came and what did not.
#include <functional>

#include "native_fixture.hpp"

namespace solvard::native_testing {
namespace {

struct CommandCase {
  const char* name;
  std::function<Result<void>(Line&)> run;
  std::vector<std::string> frames;  // what goes on the line, frame by frame
  Bytes acknowledgement;
};

CardNumber card(uint64_t number) { return CardNumber::make(number).value(); }
Date date(int y, unsigned m, unsigned d) { return Date::make(y, m, d).value(); }
TimeOfDay at(int h, int m, int s = 0) { return TimeOfDay::make(h, m, s).value(); }
WeekdayNumber weekday(int n) { return WeekdayNumber::make(n).value(); }
DoorTerminal door(Line& line) { return DoorTerminal(line, MachineNumber::make(3).value()); }
AttendTerminal clock3(Line& line) { return AttendTerminal(line, MachineNumber::make(3).value()); }

class Commands : public NativeLineTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(Commands, SendTheTerminalsFrameAndSucceedOnItsAcknowledgement) {
  const CommandCase& c = GetParam();
  for (std::size_t i = 0; i < c.frames.size(); ++i) answer(c.acknowledgement);
  const Result<void> result = c.run(line);
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_EQ(sent(), c.frames);
  // The line speaks at its own rate, on its own port, and lets it go after the command.
  EXPECT_EQ(port->openedWith().baud, 19200u);
  EXPECT_EQ(port->openedWith().parity, Parity::none);
  EXPECT_FALSE(port->isOpen());
}

using namespace std::chrono;

INSTANTIATE_TEST_SUITE_P(
    Native, Commands,
    ::testing::Values(
        CommandCase{"OpenDoor", [](Line& l) { return door(l).openDoor(); }, {"03 11"}, {3, 2}},
        CommandCase{
            "ReadLockState", [](Line& l) { return door(l).readLockState(); }, {"03 10"}, {3, 2}},
        CommandCase{"HoldOpen", [](Line& l) { return door(l).holdOpen(); }, {"03 08"}, {3, 2}},
        CommandCase{
            "ResetDelay", [](Line& l) { return door(l).setResetDelay(30); }, {"03 02 1E"}, {3, 2}},
        CommandCase{"LockMode",
                    [](Line& l) { return door(l).setLockMode(LockMode::mode255); },
                    {"03 03 FF"},
                    {3, 2}},
        CommandCase{"DoorClock",
                    [](Line& l) {
                      return door(l).setClock(local_days{2001y / June / 29} + 13h + 5min + 9s);
                    },
                    {"03 06 04 01 06 29 50", "03 07 03 13 05 09"},
                    {3, 2}},
        CommandCase{"DoorDateWithItsOwnWeekday",
                    [](Line& l) { return door(l).setDate(date(2001, 6, 29), weekday(0)); },
                    {"03 06 04 01 06 29 00"},
                    {3, 2}},
        CommandCase{"AllowCard",
                    [](Line& l) {
                      const auto permit =
                          CardPermit::make(date(2001, 6, 29), date(2002, 12, 31), at(7, 30),
                                           at(18, 0), weekday(1), weekday(5));
                      return door(l).allowCard(card(12345), permit.value());
                    },
                    {"03 04 10 00 00 01 23 45 02 01 12 06 31 29 18 07 00 30 15"},
                    {3, 2}},
        CommandCase{"DenyCard",
                    [](Line& l) { return door(l).denyCard(card(9876543210)); },
                    {"03 05 05 98 76 54 32 10"},
                    {3, 2}},
        CommandCase{
            "ClearCardList", [](Line& l) { return door(l).clearCardList(); }, {"03 0B"}, {3, 2}},
        CommandCase{"ClearAccessRecords",
                    [](Line& l) { return door(l).clearRecords(); },
                    {"03 0A"},
                    {3, 2}},
        CommandCase{"ClearAttendanceRecords",
                    [](Line& l) { return clock3(l).clearRecords(); },
                    {"03 02 06"},
                    {3}},
        CommandCase{"ClearAttendanceCards",
                    [](Line& l) { return clock3(l).clearCardList(); },
                    {"03 02 0C"},
                    {3}},
        CommandCase{
            "DeleteCard",
            [](Line& l) { return clock3(l).deleteCard(ShortCardNumber::make(123456u).value()); },
            {"03 05 0D 12 34 56"},
            {3}},
        CommandCase{"FlowNumber",
                    [](Line& l) {
                      return clock3(l).setFlowNumber(ShortCardNumber::make("654321").value(),
                                                     card(123456789));
                    },
                    {"03 0A 0A 01 23 45 67 89 65 43 21"},
                    {3}},
        CommandCase{"AttendanceClock",
                    [](Line& l) {
                      return clock3(l).setClock(local_days{2001y / June / 29} + 13h + 5min + 9s);
                    },
                    {"03 05 09 01 06 29", "03 05 08 13 05 09"},
                    {3}}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  std::vector<ScriptedLinePort::Piece> reply;
  Errc code;
  std::string message;
};

class DoorFailures : public NativeLineTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DoorFailures, NameWhatCameAndWhatDidNot) {
  const FailureCase& c = GetParam();
  port->answerNextFrame(c.reply);
  const Result<void> result = door(line).openDoor();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code(), c.code);
  EXPECT_EQ(result.error().message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Native, DoorFailures,
    ::testing::Values(
        FailureCase{"Silent",
                    {},
                    Errc::no_reply,
                    "the terminal did not answer: terminal 3: 0 of 2 bytes of the "
                    "acknowledgement came after 03 11"},
        FailureCase{"CutShort",
                    {{100ms, {3}}},
                    Errc::reply_incomplete,
                    "the terminal's reply did not come whole: terminal 3: 1 of 2 bytes of the "
                    "acknowledgement came after 03 11"},
        FailureCase{"OtherMachine",
                    {{100ms, {4, 2}}},
                    Errc::wrong_machine,
                    "another terminal answered: terminal 3: the acknowledgement came from "
                    "machine 4 (04 02) after 03 11"},
        FailureCase{"NotAnAcknowledgement",
                    {{100ms, {3, 5}}},
                    Errc::unexpected_reply,
                    "the terminal's reply was not the one expected: terminal 3: the "
                    "acknowledgement was 03 05 after 03 11"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NativeLineTest, AnAttendanceTerminalThatIsSilentOrAnotherIsNamed) {
  const auto silent = clock3(line).clearRecords();
  ASSERT_FALSE(silent);
  EXPECT_EQ(silent.error().message(),
            "the terminal did not answer: terminal 3: 0 of 1 bytes of the acknowledgement came "
            "after 03 02 06");
  answer({7});
  const auto other = clock3(line).clearRecords();
  ASSERT_FALSE(other);
  EXPECT_EQ(other.error().code(), Errc::wrong_machine);
}

TEST_F(NativeLineTest, IdentityAndOriginalCardAreTypedCardNumbers) {
  port->answerNextFrame({{100ms, {3}}, {1100ms, {0, 0x01, 0x23, 0x45, 0x67, 0x89}}});
  const auto id = door(line).identity();
  ASSERT_TRUE(id) << id.error().message();
  EXPECT_EQ(id->digits(), "0123456789");
  port->answerNextFrame({{100ms, {3, 0, 0, 0x98, 0x76, 0x54, 0x32, 0x10}}});
  const auto original = clock3(line).readOriginalCard();
  ASSERT_TRUE(original) << original.error().message();
  EXPECT_EQ(original->digits(), "9876543210");
  EXPECT_EQ(sent(), (std::vector<std::string>{"03 0C", "03 02 0B"}));
}

TEST_F(NativeLineTest, ACommandStartedFromThePumpWhileOneWaitsIsRefusedAsBusy) {
  std::optional<Result<void>> nested;
  LineHooks hooks;
  hooks.pump = [&] {
    if (!nested) nested = door(line).openDoor();
  };
  line = makeLine(hooks);
  answer({3, 2}, 300ms);
  const auto outer = door(line).openDoor();
  ASSERT_TRUE(outer) << outer.error().message();
  ASSERT_TRUE(nested.has_value());
  ASSERT_FALSE(*nested);
  EXPECT_EQ(nested->error().message(),
            "another command is running on the line: /dev/scripted: another command is running "
            "on this line");
  EXPECT_EQ(sent(), (std::vector<std::string>{"03 11"}));
}

TEST_F(NativeLineTest, ARecordTheHostRefusesIsHandedOverFirstByTheNextDownload) {
  // The first download: record A is taken, record B refused, so the terminal is not prompted
  // again and still believes B unsent... it has sent it: the library keeps it.
  const Bytes a{0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x08, 0x05};
  const Bytes b{0x98, 0x76, 0x54, 0x32, 0x10, 0x01, 0x06, 0x30, 0x17, 0x45};
  port->answerNextFrame({{100ms, {3, 1, 1}}, {150ms, a}});
  port->answerNextFrame({{100ms, {3, 1, 1}}, {150ms, b}});
  std::vector<std::string> cards;
  int refusals = 0;
  const auto first = door(line).download([&](const AccessRecord& r) {
    if (r.card == "9876543210" && refusals++ == 0) return false;
    cards.push_back(r.card + " " + r.date + " " + r.time);
    return true;
  });
  ASSERT_FALSE(first);
  EXPECT_EQ(first.error().code(), Errc::sink_refused);
  EXPECT_EQ(cards, (std::vector<std::string>{"0000012345 2001-06-29 08:05"}));
  EXPECT_EQ(sent(), (std::vector<std::string>{"03 01", "03 01"}));

  // The next download hands B over before its first prompt acknowledges it.
  port->answerNextFrame({{100ms, {3, 1, 0}}});
  const auto second = door(line).download([&](const AccessRecord& r) {
    cards.push_back(r.card + " " + r.date + " " + r.time);
    return true;
  });
  ASSERT_TRUE(second) << second.error().message();
  EXPECT_EQ(second->records, 0);
  EXPECT_EQ(second->pendingWritten, 1);
  EXPECT_EQ(cards, (std::vector<std::string>{"0000012345 2001-06-29 08:05",
                                             "9876543210 2001-06-30 17:45"}));
}

// A status naming another machine is no status of this door: bytes another terminal left on
// the line after a reconnect, or a second terminal on the same number. Nothing of it is taken
// and the door is not prompted again, so the record it may be sending is not acknowledged.
struct ForeignStatusCase {
  const char* name;
  std::vector<std::vector<ScriptedLinePort::Piece>> replies;  // one per prompt
  std::vector<std::string> taken;
  std::vector<std::string> prompts;
  std::string message;
};

class DoorDownloadStatus : public NativeLineTest,
                           public ::testing::WithParamInterface<ForeignStatusCase> {};

TEST_P(DoorDownloadStatus, FromAnotherMachineEndsTheDownloadAndTakesNothingOfIt) {
  const ForeignStatusCase& c = GetParam();
  for (const auto& reply : c.replies) port->answerNextFrame(reply);
  std::vector<std::string> taken;
  const auto got = door(line).download([&](const AccessRecord& r) {
    taken.push_back(r.card + " " + r.date + " " + r.time);
    return true;
  });
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().code(), Errc::wrong_machine);
  EXPECT_EQ(got.error().message(), c.message);
  EXPECT_EQ(taken, c.taken);
  EXPECT_EQ(sent(), c.prompts);
}

const Bytes kDoorRecord{0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x08, 0x05};
// What a clock streaming its records leaves on the line: no door record at all.
const Bytes kClockBytes{0x14, 0x01, 0x02, 0x20, 0x52, 0x11, 0x02, 0x08, 0x05, 0x30};

INSTANTIATE_TEST_SUITE_P(
    Native, DoorDownloadStatus,
    ::testing::Values(
        ForeignStatusCase{"FirstStatus",
                          {{{100ms, {4, 1, 1}}, {150ms, kDoorRecord}}},
                          {},
                          {"03 01"},
                          "another terminal answered: terminal 3: the status of the first prompt "
                          "came from machine 4 (04 01 01) after 03 01; 0 records kept"},
        ForeignStatusCase{"ClockBytesLeftOnTheLine",
                          {{{100ms, kClockBytes}}},
                          {},
                          {"03 01"},
                          "another terminal answered: terminal 3: the status of the first prompt "
                          "came from machine 20 (14 01 02) after 03 01; 0 records kept"},
        ForeignStatusCase{"StatusAfterARecord",
                          {{{100ms, {3, 1, 1}}, {150ms, kDoorRecord}},
                           {{100ms, {5, 1, 1}}, {150ms, kDoorRecord}}},
                          {"0000012345 2001-06-29 08:05"},
                          {"03 01", "03 01"},
                          "another terminal answered: terminal 3: the status after record 1 came "
                          "from machine 5 (05 01 01) after 03 01; 1 records kept"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::native_testing
