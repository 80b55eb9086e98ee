#include "terminal_options.hpp"

#include <gtest/gtest.h>

namespace solvard::tool {
namespace {

TEST(TerminalOptionsTest, ReadsTheTerminalTheLineAndTheCommandsValues) {
  TerminalOptions o;
  std::string problem;
  ASSERT_TRUE(parseTerminalOptions(
      {"--card", "12345", "--machine", "3", "--now", "--port", "/dev/ttyUSB0", "--baud", "19200"},
      {"--card"}, {"--now"}, o, problem))
      << problem;
  EXPECT_EQ(o.machine, 3);
  EXPECT_EQ(o.port, "/dev/ttyUSB0");
  EXPECT_EQ(o.baud, 19200);
  EXPECT_EQ(o.values.at("--card"), "12345");
  EXPECT_TRUE(o.flags.contains("--now"));

  TerminalOptions defaults;
  ASSERT_TRUE(parseTerminalOptions({"--machine", "0", "--port", "1"}, {}, {}, defaults, problem));
  EXPECT_EQ(defaults.baud, 9600);
}

TEST(TerminalOptionsTest, RefusesWordsThatWouldAddressAnotherTerminalOrLine) {
  struct Case {
    std::vector<std::string> args;
    const char* problem;
  } cases[] = {
      {{"--machine", "256", "--port", "1"},
       "--machine takes a machine number 0 to 255, not \"256\""},
      {{"--machine", "-1", "--port", "1"}, "--machine takes a machine number 0 to 255, not \"-1\""},
      {{"--machine", "3x", "--port", "1"}, "--machine takes a machine number 0 to 255, not \"3x\""},
      {{"--port", "1"}, "--machine M names the terminal"},
      {{"--machine", "3"}, "--port N|PATH names the serial line"},
      {{"--machine", "3", "--port", "1", "--baud", "40000"},
       "--baud takes a baud rate 1 to 32767, such as 9600, not \"40000\""},
      {{"--machine", "3", "--port", "1", "--card"}, "--card needs a value"},
      {{"--machine", "3", "--port", "1", "--colour", "red"}, "unknown option --colour"},
  };
  for (const Case& c : cases) {
    TerminalOptions o;
    std::string problem;
    EXPECT_FALSE(parseTerminalOptions(c.args, {"--card"}, {}, o, problem)) << c.problem;
    EXPECT_EQ(problem, c.problem);
  }
}

}  // namespace
}  // namespace solvard::tool
