#include "link_fixture.hpp"
#include "serial/exchange.hpp"
#include "serial/line_errors.hpp"
#include "support/serial/open_lock_exchange.hpp"

namespace solvard::serial::testing {
namespace {

struct ResultCase {
  const char* name;
  std::vector<ScriptedPort::Piece> answer;
  bool openFails;
  std::optional<Errc> code;  // none: the exchange succeeded
  std::string detail;
};

class ExchangeResults : public LinkTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ExchangeResults, SayWhatTheLastWaitSaw) {
  const ResultCase& c = GetParam();
  line.device = "/dev/ttyDOOR";
  if (!c.answer.empty()) port.answerNextFrame(c.answer);
  port.failOpen(c.openFails);
  Ending ending;
  {
    Link link = makeLink();
    ending = runExchange(link, openLockExchange()).ending;
  }

  const Result<void> result = exchangeResult(line, ending, 3, "acknowledgement");

  if (!c.code) {
    EXPECT_TRUE(result.ok());
    return;
  }
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code(), *c.code);
  EXPECT_EQ(result.error().detail(), c.detail);
}

INSTANTIATE_TEST_SUITE_P(
    AllEndings, ExchangeResults,
    ::testing::Values(
        ResultCase{"Acknowledged", {{300ms, {3, 2}}}, false, std::nullopt, ""},
        ResultCase{"Silence",
                   {},
                   false,
                   Errc::no_reply,
                   "terminal 3: 0 of 2 bytes of the acknowledgement came after 03 11"},
        ResultCase{"HalfAReply",
                   {{300ms, {3}}},
                   false,
                   Errc::reply_incomplete,
                   "terminal 3: 1 of 2 bytes of the acknowledgement came after 03 11"},
        ResultCase{"AnotherMachine",
                   {{300ms, {4, 2}}},
                   false,
                   Errc::wrong_machine,
                   "terminal 3: the acknowledgement came from machine 4 (04 02) after 03 11"},
        ResultCase{"CommandEchoed",
                   {{300ms, {3, 0x11}}},
                   false,
                   Errc::unexpected_reply,
                   "terminal 3: the acknowledgement was 03 11 after 03 11"},
        // A port that cannot be opened and gives no reason of its own is named, not taken for a
        // terminal that did not answer.
        ResultCase{"PortWithoutAReason",
                   {},
                   true,
                   Errc::port_failed,
                   "/dev/ttyDOOR: the port cannot be opened"}),
    [](const ::testing::TestParamInfo<ResultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace solvard::serial::testing
