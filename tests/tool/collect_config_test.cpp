// The collector's config: a value it cannot honour ends the command with status 2 and one line
// naming the file, the line of the config and the key, before any line or database is touched.
#include "collect_config.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>

#include "line_options.hpp"
#include "run_command.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

const std::string kLine = "[[line]]\nport = \"/dev/null\"\n";
const std::string kAttend = "[[line.terminal]]\nkind = \"attend\"\nmachines = 1\n";

struct ConfigCase {
  std::string text;
  std::string message;  // after "solvard collect: FILE"
};

class CollectConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("solvard-collect-config-" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string write(const std::string& text) {
    const fs::path path = folder / "collect.toml";
    std::ofstream(path) << text;
    return path.string();
  }

  fs::path folder;
};

TEST_F(CollectConfigTest, EachRefusalNamesTheFileTheLineAndTheKey) {
  const ConfigCase cases[] = {
      {kLine + kAttend, ":1: database: missing\n"},
      {"database = \"\"\n" + kLine + kAttend,
       ":1: database: is empty: give an SQLite file or a connection text\n"},
      {"database = \"c.db\"\n" + kLine + "[[line.terminal]]\nkind = \"clock\"\nmachines = 1\n",
       ":5: line[1].terminal[1].kind: \"clock\" is not \"attend\" or \"door\"\n"},
      {"database = \"c.db\"\n" + kLine + "[[line.terminal]]\nkind = \"door\"\nmachines = \"5-1\"\n",
       ":6: line[1].terminal[1].machines: \"5-1\" runs backwards: write the lower number first\n"},
      {"database = \"c.db\"\n" + kLine +
           "[[line.terminal]]\nkind = \"door\"\nmachines = [1, 256]\n",
       ":6: line[1].terminal[1].machines[2]: 256 is not 0 to 255\n"},
      {"database = \"c.db\"\n" + kLine + "speed = 9600\n" + kAttend,
       ":4: line[1].speed: unknown key (a line takes port, baud, name and terminal)\n"},
      {"database = \"c.db\"\n" + kLine + kAttend +
           "[[line.terminal]]\nkind = \"door\"\nmachines = \"0-2\"\n",
       ":9: line[1].terminal[2].machines: machine 1 is already a terminal of this line\n"},
      {"database = \"c.db\"\n" + kLine + "baud = 0\n" + kAttend,
       ":4: line[1].baud: 0 is not 1 to 4000000\n"},
      {"database = \"c.db\"\n" + kLine +
           "[[line.terminal]]\nkind = \"door\"\nmachines = 3\nclear = \"after-commit\"\n",
       ":7: line[1].terminal[1].clear: applies to attend terminals (a door terminal forgets "
       "each record as the next is asked for)\n"},
      {"database = \"c.db\"\n" + kLine +
           "[[line.terminal]]\nkind = \"attend\"\nmachines = 3\nclear = \"always\"\n",
       ":7: line[1].terminal[1].clear: \"always\" is not \"never\" or \"after-commit\"\n"},
      {"database = \"c.db\"\n", ":1: line: missing: give at least one [[line]] table\n"},
      // Control characters, written as TOML escapes: none reaches a name, a row, the journal or
      // the device's name.
      {"database = \"c.db\"\n[[line]]\nport = \"/dev/null\"\nname = \"a\\nb\"\n" + kAttend,
       ":4: line[1].name: contains a control character (\\n): give printable text\n"},
      {"database = \"c.db\"\n[[line]]\nport = \"/dev/null\"\nname = \"a\\u0000b\"\n" + kAttend,
       ":4: line[1].name: contains a control character (\\u0000): give printable text\n"},
      {"database = \"c.db\"\n[[line]]\nport = \"/dev/null\\r\"\n" + kAttend,
       ":3: line[1].port: contains a control character (\\r): give printable text\n"},
      {"database = \"c\\u007f.db\"\n" + kLine + kAttend,
       ":1: database: contains a control character (\\u007F): give printable text\n"},
      {"database = \"c.db\"\n" + kLine + kAttend + "name = \"gate\\t1\"\n",
       ":7: line[1].terminal[1].name: contains a control character (\\t): give printable text\n"},
      {"database = \"c.db\"\n" + kLine +
           "[[line.terminal]]\nkind = \"door\"\nmachines = \"1\\u001b\"\n",
       ":6: line[1].terminal[1].machines: contains a control character (\\u001B): give printable "
       "text\n"},
      {"database = \"c.db\"\n\"a\\nb\" = 1\n" + kLine + kAttend,
       ":2: a\\nb: unknown key (the config takes database, warn_above, [[line]] tables and a [serve] table)\n"},
      {"database = c.db\n", ":1: "},
      // Where the TOML reader's own checks went wrong: a table named by a device path, and a
      // letter beyond ASCII where a table's name should end.
      {"database = \"c.db\"\n[/dev/ttyS0]\nport = \"1\"\n", ":2: "},
      {"database = \"c.db\"\n[line\xD1\xA5]\n", ":2: "},
  };
  for (const ConfigCase& c : cases) {
    const std::string path = write(c.text);
    const CommandRun got = runCommand(SOLVARD_PROGRAM, {"collect", "--config", path});
    EXPECT_EQ(got.status, 2) << c.text;
    EXPECT_EQ(got.out, "");
    if (c.message.ends_with("\n")) {
      EXPECT_EQ(got.err, "solvard collect: " + path + c.message) << c.text;
    } else {
      // A syntax error is described in toml++'s own words.
      EXPECT_TRUE(got.err.starts_with("solvard collect: " + path + c.message)) << got.err;
    }
  }
}

TEST_F(CollectConfigTest, AConfigThatCannotBeReadOrAnIntervalThatCannotBeIsAUsageError) {
  CommandRun got = runCommand(SOLVARD_PROGRAM, {"collect", "--config", "/no/such/collect.toml"});
  EXPECT_EQ(got.status, 2);
  EXPECT_EQ(got.err,
            "solvard collect: /no/such/collect.toml: cannot be read: No such file or directory\n");
  got = runCommand(SOLVARD_PROGRAM,
                   {"collect", "--config", write("database = \"c.db\"\n"), "--every", "5x"});
  EXPECT_EQ(got.status, 2);
  EXPECT_NE(got.err.find("\"5x\" is not a number with s, m or h (30s, 5m, 1h), 1 s to 24 h"),
            std::string::npos)
      << got.err;
}

// What is not a config file of a config's size is refused before it is read or waited on, by
// both commands that read the config: status 2 at once, saying what the file is.
TEST_F(CollectConfigTest, OnlyARegularFileOfAConfigsSizeIsRead) {
  const fs::path fifo = folder / "fifo.toml";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path large = folder / "large.toml";
  std::ofstream(large) << "database = \"c.db\"\n";
  fs::resize_file(large, kLargestConfig + 1);  // sparse: no disk taken
  // At the bound the file is read: what it lacks is then named.
  const fs::path atBound = folder / "bound.toml";
  std::ofstream(atBound) << "#" + std::string(kLargestConfig - 2, 'x') + "\n";
  ASSERT_EQ(fs::file_size(atBound), kLargestConfig);
  const std::string notRegular =
      ": is not a regular file (a device, a FIFO or a socket): name the config file itself\n";
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {"/dev/zero", notRegular},
      {fifo.string(), notRegular},
      {folder.string(), ": is a folder, not a config file\n"},
      {large.string(),
       ": is larger than 1 MiB: a collector's config takes a few kilobytes; name the config file "
       "itself\n"},
      {atBound.string(), ":1: database: missing\n"},
  };
  for (const auto& c : cases) {
    for (const std::string command : {"collect", "verify"}) {
      // A run that waits on the FIFO is killed at the limit and fails here.
      const CommandRun got =
          runCommand(SOLVARD_PROGRAM, {command, "--config", c.path}, {}, std::chrono::seconds(10));
      EXPECT_EQ(got.status, 2) << command << " " << c.path;
      EXPECT_EQ(got.out, "");
      EXPECT_EQ(got.err, "solvard " + command + ": " + c.path + c.message);
    }
  }
}

TEST_F(CollectConfigTest, MachinesAreListsNumbersAndRangesAndDefaultsFillTheRest) {
  const CollectConfig config = parseCollectConfig(
      "database = \"c.db\"\nwarn_above = 50\n" + kLine +
          "[[line.terminal]]\nkind = \"attend\"\nmachines = [\"1-2\", 7]\nclear = "
          "\"after-commit\"\n"
          "[[line]]\nport = \"2\"\nbaud = 19200\nname = \"hall\"\n"
          "[[line.terminal]]\nkind = \"door\"\nmachines = 0\nwarn_above = 5\nname = \"gate\"\n",
      "c.toml");
  ASSERT_EQ(config.lines.size(), 2u);
  EXPECT_EQ(config.database, "c.db");
  const CollectLine& first = config.lines[0];
  EXPECT_EQ(first.name, "/dev/null");
  EXPECT_EQ(first.baud, 9600u);
  ASSERT_EQ(first.terminals.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(first.terminals[i].machine, (std::array<int, 3>{1, 2, 7})[i]);
    EXPECT_EQ(first.terminals[i].clear, ClearPolicy::afterCommit);
    EXPECT_EQ(first.terminals[i].warnAbove, 50);
  }
  const CollectLine& second = config.lines[1];
  EXPECT_EQ(second.name, "hall");
  EXPECT_EQ(second.port, "2");
  EXPECT_EQ(second.baud, 19200u);
  ASSERT_EQ(second.terminals.size(), 1u);
  EXPECT_EQ(second.terminals[0].kind, TerminalKind::door);
  EXPECT_EQ(second.terminals[0].clear, ClearPolicy::never);
  EXPECT_EQ(second.terminals[0].warnAbove, 5);
  EXPECT_EQ(second.terminals[0].name, "gate");
}

// What parseCollectConfig says after the file's name ("3: line[1].port: ..."), or "" when it
// takes the text.
std::string refusalOf(const std::string& text) {
  try {
    parseCollectConfig(text, "c.toml");
  } catch (const ConfigError& e) {
    return std::string(e.what()).substr(std::string("c.toml:").size());
  }
  return "";
}

std::string oneLine(const std::string& port) {
  return "database = \"c.db\"\n[[line]]\nport = \"" + port + "\"\n" + kAttend;
}

// A port is read by one rule wherever it is given: on the command line (-p) and in the config
// (port), the same text is taken as the same device, or refused with the same words.
TEST_F(CollectConfigTest, APortIsReadByOneRuleOnTheCommandLineAndInTheConfig) {
  const std::string outOfRange = " is not 1 to 255 (a device path in this folder is written ./";
  const struct {
    std::string port;
    std::string problem;  // "" when taken
    std::string device;   // what a taken port opens
  } cases[] = {
      {"1", "", "/dev/ttyS0"},
      {"007", "", "/dev/ttyS6"},
      {"255", "", "/dev/ttyS254"},
      {"0", "port number 0" + outOfRange + "0)", ""},
      {"999", "port number 999" + outOfRange + "999)", ""},
      {"99999999999", "port number 99999999999" + outOfRange + "99999999999)", ""},
      {"./999", "", "./999"},
      {"line", "", "line"},
      {"/dev/ttyUSB0", "", "/dev/ttyUSB0"},
      {"tcp://door-server:4001", "", "tcp://door-server:4001"},
      {"", "is empty: give a port number or a device path", ""},
  };
  for (const auto& c : cases) {
    // The command line, as a terminal action reads it (nothing is opened by reading it).
    CLI::App app;
    LineOptions options;
    addLineOptions(app, options);
    const char* argv[] = {"solvard", "-m", "3", "-p", c.port.c_str()};
    std::string cliProblem;
    try {
      app.parse(5, argv);
    } catch (const CLI::ParseError& e) {
      cliProblem = e.what();
    }
    // The config.
    const std::string configProblem = refusalOf(oneLine(c.port));
    if (c.problem.empty()) {
      EXPECT_EQ(cliProblem, "") << c.port;
      EXPECT_EQ(options.port, c.port);
      EXPECT_EQ(configProblem, "") << c.port;
      EXPECT_EQ(deviceOf(c.port).name(), c.device);
    } else {
      EXPECT_EQ(cliProblem, "--port: " + c.problem);
      EXPECT_EQ(configProblem, "3: line[1].port: " + c.problem);
    }
  }
}

// Two lines on one device, however each names it, would each find it in use by the other.
TEST_F(CollectConfigTest, EachDeviceIsTheDeviceOfOneLine) {
  std::ofstream(folder / "ttyUSB0");
  fs::create_symlink(folder / "ttyUSB0", folder / "usb-FTDI_FT232R-if00-port0");
  const std::string device = (folder / "ttyUSB0").string();
  const std::string link = (folder / "usb-FTDI_FT232R-if00-port0").string();
  const struct {
    std::string first, second;
    bool refused;
  } cases[] = {
      {"/dev/ttyS0", "/dev/ttyS0", true},
      {"1", "/dev/ttyS0", true},
      {device, link, true},
      {"tcp://Door-Server:4001", "rfc2217://door-server.:4001", true},
      {"./not-plugged", "./not-plugged", true},
      {"/dev/ttyS0", "/dev/ttyS1", false},
      {"./not-plugged", "./unplugged", false},
      {"tcp://door-server:4001", "tcp://door-server:4002", false},
  };
  for (const auto& c : cases) {
    const std::string text =
        oneLine(c.first) + "[[line]]\nport = \"" + c.second + "\"\nname = \"b\"\n" + kAttend;
    EXPECT_EQ(refusalOf(text), c.refused
                                   ? "8: line[2].port: \"" + c.second +
                                         "\" is the device of line[1] too: one line per device"
                                   : "")
        << c.first << " " << c.second;
  }
}

TEST_F(CollectConfigTest, TheInstalledExampleReads) {
  const fs::path example = fs::path(__FILE__).parent_path() / "../../contrib/collect.toml";
  const CollectConfig config = readCollectConfig(example.string());
  ASSERT_EQ(config.lines.size(), 2u);
  EXPECT_EQ(config.database, "collect.db");
  EXPECT_EQ(config.lines[0].terminals.size(), 6u);  // four clocks and two doors
  EXPECT_EQ(config.lines[1].name, "warehouse");
}

}  // namespace
}  // namespace solvard::tool
