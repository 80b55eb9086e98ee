// `solvard scan` over a simulated line: which numbers answer and as which kind, what it says
// before it starts, and what it refuses. A number nobody answers costs its real reply waits, so
// the ranges stay short.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "run_command.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line.add(std::make_unique<simulator::AccessTerminal>(3));
    line.add(std::make_unique<simulator::AttendTerminal>(5));
    line.start();
  }

  CommandRun scan(std::vector<std::string> args) {
    args.insert(args.begin(), "scan");
    args.push_back("--no-progress");
    return runCommand(SOLVARD_PROGRAM, args);
  }

  simulator::Simulator line;
};

TEST_F(ScanTest, NamesEachNumberThatAnswersWithItsKindAndLeavesTheTerminalsAsTheyWere) {
  const CommandRun run = scan({"-p", line.path(), "--machines", "3-5"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "2 of 3 machine numbers answered: 3 door, 5 attend\n");
  EXPECT_EQ(run.err, "solvard scan: asking machines 3-5 on " + line.path() +
                         " at 9600 baud: at most 12 s (a number nobody answers costs up to 4 s)\n");
  // Only the harmless queries went out: nothing was opened, set or cleared.
  const auto& door = dynamic_cast<simulator::AccessTerminal&>(*line.terminal(3));
  line.withState([&] {
    EXPECT_EQ(door.state().lockStateQueries, 1);
    EXPECT_EQ(door.state().lockOpened, 0);
    EXPECT_EQ(door.state().prompts, 0);
    return 0;
  });

  const CommandRun json = scan({"-p", line.path(), "--machines", "3", "--json"});
  EXPECT_EQ(json.status, 0) << json.err;
  const auto report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["command"], "scan");
  EXPECT_EQ(report["ok"], true);
  EXPECT_EQ(report["result"]["asked"], 1);
  EXPECT_EQ(report["result"]["terminals"],
            nlohmann::json::parse(R"([{"machine":3,"kind":"door","error":null}])"));
}

TEST_F(ScanTest, RefusesNumbersNoTerminalCanHaveAndEndsAtALineThatCannotBeOpened) {
  const CommandRun zero = scan({"-p", line.path(), "--machines", "0-3"});
  EXPECT_EQ(zero.status, 2);
  EXPECT_NE(zero.err.find("--machines: machine numbers 1 to 254 answer a scan"), std::string::npos)
      << zero.err;
  const CommandRun missing = scan({"-p", "/nonexistent/line", "--machines", "1-200"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(
      missing.err.find("solvard scan: cannot open /nonexistent/line: No such file or directory"),
      std::string::npos)
      << missing.err;
}

}  // namespace
}  // namespace solvard::tool
