#include <algorithm>

#include "link_fixture.hpp"
#include "serial/exchange.hpp"
#include "support/serial/open_lock_exchange.hpp"

namespace solvard::serial::testing {
namespace {

struct EndingCase {
  const char* name;
  std::vector<ScriptedPort::Piece> answer;
  bool openFails;
  Ending ending;
  Bytes reply;
  // The port operations after the setup and open lines.
  std::vector<std::string> rest;
  std::vector<int32_t> reported;
  Bytes discarded;
};

class ExchangeEndings : public LinkTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(ExchangeEndings, RunsTheStepsOfItsEnding) {
  const EndingCase& c = GetParam();
  if (!c.answer.empty()) port.answerNextFrame(c.answer);
  port.failOpen(c.openFails);
  Link link = makeLink();

  const ExchangeResult result = runExchange(link, openLockExchange());

  EXPECT_EQ(result.ending, c.ending);
  EXPECT_EQ(result.reply, c.reply);
  std::vector<std::string> expected = openLines();
  if (c.openFails) expected.back() += " failed";
  expected.insert(expected.end(), c.rest.begin(), c.rest.end());
  EXPECT_EQ(port.log(), expected);
  EXPECT_EQ(reported, c.reported);
  EXPECT_EQ(port.discardedAtClose(), c.discarded);
  EXPECT_FALSE(port.PortOpen());
}

const std::vector<std::string> kClosedClear = {"PortOpen false", "InBufferCount 0 failed",
                                               "OutBufferCount 0 failed"};

INSTANTIATE_TEST_SUITE_P(
    AllEndings, ExchangeEndings,
    ::testing::Values(
        EndingCase{
            "Success",
            {{300ms, {3, 2}}},
            false,
            Ending::Success,
            {3, 2},
            {"InBufferCount 0", "OutBufferCount 0", "Output 03 11", "InputLen 2", "Input 03 02",
             "PortOpen false", "InBufferCount 0 failed", "OutBufferCount 0 failed"},
            {},
            {}},
        // Only the first N bytes are read; the rest go with the close.
        EndingCase{
            "MoreThanAwaited",
            {{300ms, {3, 2, 0xAA, 0x55}}},
            false,
            Ending::Success,
            {3, 2},
            {"InBufferCount 0", "OutBufferCount 0", "Output 03 11", "InputLen 2", "Input 03 02",
             "PortOpen false", "InBufferCount 0 failed", "OutBufferCount 0 failed"},
            {},
            {0xAA, 0x55}},
        // The second byte must be 2, not the command code; the buffers are not cleared.
        EndingCase{"WrongReply",
                   {{300ms, {3, 0x11}}},
                   false,
                   Ending::WrongReply,
                   {3, 0x11},
                   {"InBufferCount 0", "OutBufferCount 0", "Output 03 11", "InputLen 2",
                    "Input 03 11", "PortOpen false"},
                   {},
                   {}},
        EndingCase{"AnotherMachine",
                   {{300ms, {4, 2}}},
                   false,
                   Ending::WrongReply,
                   {4, 2},
                   {"InBufferCount 0", "OutBufferCount 0", "Output 03 11", "InputLen 2",
                    "Input 04 02", "PortOpen false"},
                   {},
                   {}},
        EndingCase{"Silence",
                   {},
                   false,
                   Ending::Timeout,
                   {},
                   {"InBufferCount 0", "OutBufferCount 0", "Output 03 11", "PortOpen false",
                    "InBufferCount 0 failed", "OutBufferCount 0 failed"},
                   {},
                   {}},
        // One byte of two: the wait runs out and the byte goes with the close.
        EndingCase{"PartialReply",
                   {{300ms, {3}}},
                   false,
                   Ending::Timeout,
                   {},
                   {"InBufferCount 0", "OutBufferCount 0", "Output 03 11", "PortOpen false",
                    "InBufferCount 0 failed", "OutBufferCount 0 failed"},
                   {},
                   {3}},
        EndingCase{"PortCannotOpen", {}, true, Ending::PortFailure, {}, {}, {61206}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A reply that comes after the wait gave up is never read.
TEST_F(LinkTest, ReplyAfterTheTimeoutIsNeverRead) {
  port.answerNextFrame({{2500ms, {3, 2}}});
  Link link = makeLink();
  EXPECT_EQ(runExchange(link, openLockExchange()).ending, Ending::Timeout);
  EXPECT_EQ(port.lostAfterClose(), (Bytes{3, 2}));
  EXPECT_EQ(std::count(port.log().begin(), port.log().end(), "InputLen 2"), 0);
}

}  // namespace
}  // namespace solvard::serial::testing
