// The pass's summary line counts the terminals collected from, not those a stop left unasked.
#include "collect_report.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace solvard::tool {
namespace {

TerminalOutcome collected(int machine, int records) {
  TerminalOutcome t;
  t.line = "hall";
  t.machine = machine;
  t.records = t.given = t.stored = records;
  t.asked = true;
  return t;
}

TerminalOutcome stoppedMidDownload(int machine, int records) {
  TerminalOutcome t = collected(machine, records);
  t.error = Error(Errc::stopped, "stopped by the host");
  return t;
}

TerminalOutcome notAsked(int machine) {
  TerminalOutcome t;
  t.line = "hall";
  t.machine = machine;
  t.error = Error(Errc::stopped, "not asked: the collector was told to stop");
  return t;
}

TerminalOutcome failedToAnswer(int machine) {
  TerminalOutcome t = collected(machine, 0);
  t.error = Error(Errc::no_reply, "terminal " + std::to_string(machine));
  return t;
}

std::string lastLine(const std::string& text) {
  const auto end = text.rfind('\n', text.size() - 2);
  return text.substr(end == std::string::npos ? 0 : end + 1);
}

TEST(CollectReportTest, TheSummaryCountsOnlyTerminalsAskedAndSaysHowManyAStopLeft) {
  const struct {
    std::vector<TerminalOutcome> terminals;
    std::string summary;
    std::vector<bool> asked;  // as the JSON gives it, terminal by terminal
  } cases[] = {
      {{collected(1, 5), collected(2, 7)},
       "collected 12 records from 2 of 2 terminals (pass P)\n",
       {true, true}},
      {{collected(1, 5), notAsked(2)},
       "collected 5 records from 1 of 2 terminals; 1 not asked: the pass was stopped (pass P)\n",
       {true, false}},
      {{stoppedMidDownload(1, 3), notAsked(2), notAsked(3)},
       "collected 3 records from 1 of 3 terminals; 2 not asked: the pass was stopped (pass P)\n",
       {true, false, false}},
      {{failedToAnswer(1), notAsked(2)},
       "collected 0 records from 0 of 2 terminals; 1 not asked: the pass was stopped (pass P)\n",
       {true, false}},
  };
  for (const auto& c : cases) {
    PassOutcome pass;
    pass.passId = "P";
    pass.terminals = c.terminals;
    EXPECT_EQ(lastLine(passText(pass)), c.summary);
    const auto json = passJson(pass);
    ASSERT_EQ(json["result"]["terminals"].size(), c.asked.size());
    for (std::size_t i = 0; i < c.asked.size(); ++i)
      EXPECT_EQ(json["result"]["terminals"][i]["asked"], c.asked[i]) << c.summary;
  }
}

}  // namespace
}  // namespace solvard::tool
