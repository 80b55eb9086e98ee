// The words `solvard simulate` refuses: one line on standard error naming the option, status 2,
// and no line started.
#include <gtest/gtest.h>

#include "simulate_process.hpp"

namespace solvard::tool::testing {
namespace {

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  std::string error;  // after "solvard simulate: ", before the pointer to help
};

class SimulateUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(SimulateUsage, IsRefusedInOneLine) {
  SimulateProcess sim(GetParam().args);
  EXPECT_EQ(sim.exitStatus(), 2);
  EXPECT_EQ(sim.errors(),
            "solvard simulate: " + GetParam().error + " (see 'solvard simulate --help')\n");
  EXPECT_EQ(sim.output(), "");
}

const std::string kListen =
    "--listen: takes ADDRESS:PORT, an IPv4 address and a port 0 to 65535 such as 127.0.0.1:7000";

INSTANTIATE_TEST_SUITE_P(
    Words, SimulateUsage,
    ::testing::Values(
        UsageCase{
            "NoTerminal", {}, "name at least one terminal (--attend M or --door M) or --echo"},
        UsageCase{"MachineTooHigh", {"--door", "256"}, "--door: takes a machine number 0 to 255"},
        UsageCase{"MachineInHex", {"--attend", "0x1"}, "--attend: takes a machine number 0 to 255"},
        UsageCase{"MachineTwice",
                  {"--attend", "3", "--door", "3"},
                  "--door: machine 3 is already played"},
        UsageCase{"RecordsNegative",
                  {"--door", "3", "--records", "-1"},
                  "--records: takes a count 0 to 65535"},
        UsageCase{"ListenWithoutPort", {"--door", "3", "--listen", "127.0.0.1"}, kListen},
        UsageCase{"ListenByName", {"--door", "3", "--listen", "localhost:7000"}, kListen},
        UsageCase{"ListenPortTooHigh", {"--door", "3", "--listen", "127.0.0.1:65536"}, kListen},
        UsageCase{"LinkEmpty", {"--door", "3", "--link", ""}, "--link: takes a word, not nothing"},
        UsageCase{"LinkAndDevice",
                  {"--door", "3", "--link", "a", "--device", "b"},
                  "--link excludes --device"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimulateHelp, GoesToStandardOutput) {
  SimulateProcess sim({"--help"});
  EXPECT_EQ(sim.exitStatus(), 0);
  const std::string help = sim.output();
  EXPECT_TRUE(
      help.starts_with("play terminals on a pseudo-terminal line\nUsage: solvard "
                       "simulate [OPTIONS]\n"))
      << help;
  for (const char* option :
       {"--attend M", "--door M", "--records N", "--link PATH", "--device PATH", "--baud N",
        "--listen ADDRESS:PORT", "--paced", "--echo", "--quiet", "until SIGINT or SIGTERM"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(sim.errors(), "");
}

}  // namespace
}  // namespace solvard::tool::testing
