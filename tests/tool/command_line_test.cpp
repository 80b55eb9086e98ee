// The `solvard` command as an operator and a script use it: every terminal action against
// simulated terminals, its words, its JSON object and its exit status, and the usage errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "acknowledged_actions.hpp"
#include "query_text.hpp"
#include "run_command.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& clock = sim.add(std::make_unique<simulator::AttendTerminal>(1, "0012345678"));
    clock.storeRecords(simulator::sampleRecords(5));
    auto& door = sim.add(std::make_unique<simulator::AccessTerminal>(3));
    doorTerminal = &door;
    door.setIdentity("1234567890");
    door.store(simulator::accessRecord("0000012345", 1, 6, 29, 8, 5));
    door.store(simulator::accessRecord("9876543210", 1, 6, 30, 17, 45));
    sim.start();
    folder = fs::temp_directory_path() /
             ("solvard-cli-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The pending file of refused access records goes to a folder of the test's own.
    env["XDG_STATE_HOME"] = (folder / "state").string();
  }
  void TearDown() override {
    sim.stop();
    fs::remove_all(folder);
  }

  // Runs the command with "{port}" and "{db}" in the words replaced.
  CommandRun run(const std::vector<std::string>& words) {
    return runCommand(
        SOLVARD_PROGRAM,
        replaceMarks(words, {{"{port}", sim.path()}, {"{db}", (folder / "records.db").string()}}),
        env);
  }

  std::string dbRows(const std::string& query) {
    return testing::queryText((folder / "records.db").string(), query);
  }

  simulator::Simulator sim;
  simulator::AccessTerminal* doorTerminal = nullptr;
  fs::path folder;
  std::map<std::string, std::string> env;
};

struct Case {
  std::vector<std::string> words;
  int status = 0;
  std::string out = {};
  std::string err = {};
};

TEST_F(CommandLineTest, EveryActionSaysWhatTheTerminalAcknowledged) {
  std::vector<Case> cases;
  for (auto& action : testing::everyAcknowledgedAction())
    cases.push_back({std::move(action.words), 0, std::move(action.out)});
  const Case failures[] = {
      // Another machine number: nobody answers, and the words say what was sent.
      {{"door", "open", "-m", "9", "-p", "{port}"},
       1,
       "",
       "solvard door open: the terminal did not answer: terminal 9: 0 of 2 bytes of the "
       "acknowledgement came after 09 11\n"},
      {{"attend", "clear-cards", "-m", "7", "-p", "{port}"},
       1,
       "",
       "solvard attend clear-cards: the terminal did not answer: terminal 7: 0 of 1 bytes of the "
       "acknowledgement came after 07 02 0C\n"},
  };
  cases.insert(cases.end(), std::begin(failures), std::end(failures));
  for (const Case& c : cases) {
    const CommandRun got = run(c.words);
    EXPECT_EQ(got.status, c.status) << c.words[0] << " " << c.words[1] << "\n" << got.err;
    EXPECT_EQ(got.out, c.out) << c.words[1];
    EXPECT_EQ(got.err, c.err) << c.words[1];
  }
  const auto door = sim.withState([&] { return doorTerminal->state(); });
  EXPECT_EQ(door.lockMode, 255);
  EXPECT_EQ(door.resetDelay, 10);
  EXPECT_EQ(door.date, "01-06-29");
  EXPECT_EQ(door.weekday, 5);
  EXPECT_EQ(door.time, "13:05:09");
}

TEST_F(CommandLineTest, JsonGivesOneObjectWithThePinnedFields) {
  const Case cases[] = {
      {{"door", "open", "-m", "3", "-p", "{port}", "--json"},
       0,
       R"({"command":"door open","machine":3,"ok":true,"result":null,"error":null})"},
      {{"door", "mode", "-m", "3", "-p", "{port}", "--mode", "0", "--json"},
       0,
       R"({"command":"door mode","machine":3,"ok":true,"result":{"mode":0},"error":null})"},
      {{"door", "id", "-m", "3", "-p", "{port}", "--json"},
       0,
       R"({"command":"door id","machine":3,"ok":true,"result":"1234567890","error":null})"},
      {{"door", "allow", "-m", "3", "-p", "{port}", "--card", "7", "--from", "2001-01-01", "--to",
        "2001-01-01", "--json"},
       0,
       R"({"command":"door allow","machine":3,"ok":true,"result":{"card":"0000000007",)"
       R"("from":"2001-01-01","to":"2001-01-01","start":"00:00","end":"23:59","weekdays":[1,7]},)"
       R"("error":null})"},
      {{"attend", "card-number", "-m", "1", "-p", "{port}", "--json"},
       0,
       R"({"command":"attend card-number","machine":1,"ok":true,"result":"0012345678",)"
       R"("error":null})"},
      {{"clock", "set", "-m", "1", "-p", "{port}", "--time", "07:00:00", "--json"},
       0,
       R"({"command":"clock set","machine":1,"ok":true,"result":{"time":"07:00:00"},)"
       R"("error":null})"},
      {{"door", "state", "-m", "3", "-p", "{port}", "--json"},
       0,
       R"({"command":"door state","machine":3,"ok":true,"result":null,"error":null})"},
      {{"door", "delay", "-m", "3", "-p", "{port}", "--seconds", "1", "--json"},
       0,
       R"({"command":"door delay","machine":3,"ok":true,"result":{"seconds":1},"error":null})"},
      {{"door", "unlock-state", "-m", "3", "-p", "{port}", "--json"},
       0,
       R"({"command":"door unlock-state","machine":3,"ok":true,"result":null,"error":null})"},
      {{"door", "time", "-m", "3", "-p", "{port}", "--date", "2001-06-29", "--time", "13:05",
        "--json"},
       0,
       R"({"command":"door time","machine":3,"ok":true,"result":{"date":"2001-06-29",)"
       R"("weekday":5,"time":"13:05:00"},"error":null})"},
      {{"door", "deny", "-m", "3", "-p", "{port}", "--card", "99", "--json"},
       0,
       R"({"command":"door deny","machine":3,"ok":true,"result":{"card":"0000000099"},)"
       R"("error":null})"},
      {{"door", "clear-list", "-m", "3", "-p", "{port}", "--json"},
       0,
       R"({"command":"door clear-list","machine":3,"ok":true,"result":null,"error":null})"},
      {{"door", "clear-records", "-m", "3", "-p", "{port}", "--json"},
       0,
       R"({"command":"door clear-records","machine":3,"ok":true,"result":null,"error":null})"},
      {{"attend", "clear-records", "-m", "1", "-p", "{port}", "--json"},
       0,
       R"({"command":"attend clear-records","machine":1,"ok":true,"result":null,"error":null})"},
      {{"attend", "clear-cards", "-m", "1", "-p", "{port}", "--json"},
       0,
       R"({"command":"attend clear-cards","machine":1,"ok":true,"result":null,"error":null})"},
      {{"attend", "delete-card", "-m", "1", "-p", "{port}", "--card", "5", "--json"},
       0,
       R"({"command":"attend delete-card","machine":1,"ok":true,"result":{"card":"000005"},)"
       R"("error":null})"},
      {{"attend", "flow", "-m", "1", "-p", "{port}", "--flow", "7", "--original", "8", "--json"},
       0,
       R"({"command":"attend flow","machine":1,"ok":true,"result":{"flow":"000007",)"
       R"("original":"0000000008"},"error":null})"},
      {{"door", "open", "-m", "4", "-p", "{port}", "--json"},
       1,
       R"({"command":"door open","machine":4,"ok":false,"result":null,"error":{"code":)"
       R"("no_reply","message":"the terminal did not answer","detail":"terminal 4: 0 of 2 )"
       R"(bytes of the acknowledgement came after 04 11"}})"},
      {{"door", "open", "-m", "3", "-p", "/nonexistent/ttyUSB9", "--json"},
       1,
       R"({"command":"door open","machine":3,"ok":false,"result":null,"error":{"code":)"
       R"("port_not_found","message":"the serial device does not exist","detail":)"
       R"("/nonexistent/ttyUSB9: No such file or directory"}})"},
  };
  for (const Case& c : cases) {
    const CommandRun got = run(c.words);
    EXPECT_EQ(got.status, c.status) << c.words[1] << got.err;
    EXPECT_EQ(got.out, c.out + "\n") << c.words[1];
    EXPECT_EQ(got.err, "") << c.words[1];
  }
}

TEST_F(CommandLineTest, DownloadsWriteEveryRecordOnceAndSayHowMany) {
  CommandRun got = run({"attend", "download", "-m", "1", "-p", "{port}", "-d", "{db}", "--json"});
  ASSERT_EQ(got.status, 0) << got.err;
  auto reply = nlohmann::ordered_json::parse(got.out);
  ASSERT_TRUE(reply["seconds"].is_number());
  reply.erase("seconds");
  EXPECT_EQ(reply.dump(), R"({"command":"attend download","machine":1,"ok":true,"result":null,)"
                          R"("error":null,"records":5})");
  EXPECT_EQ(dbRows("select count(*) from WorkCardSource"), "5 \n");

  got = run({"door", "download", "-m", "3", "-p", "{port}", "-d", "{db}", "--table", "Records"});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_TRUE(std::regex_match(
      got.out, std::regex("terminal 3: 2 records written to Records in [0-9]+\\.[0-9] s\n")))
      << got.out;
  EXPECT_EQ(dbRows("select * from Records order by 1"),
            "0000012345 2001-06-29 08:05 \n9876543210 2001-06-30 17:45 \n");

  got = run({"door", "download", "-m", "3", "-p", "{port}", "--db={db}", "--table=Records"});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out, "terminal 3 holds no records: nothing written\n");
}

TEST_F(CommandLineTest, ADatabaseThatFailsGivesThree) {
  const fs::path missing = folder / "no-such-folder" / "records.db";
  CommandRun got =
      run({"attend", "download", "-m", "1", "-p", "{port}", "-d", missing.string(), "--json"});
  EXPECT_EQ(got.status, 3) << got.out << got.err;
  auto reply = nlohmann::json::parse(got.out);
  EXPECT_EQ(reply["error"]["code"], "database_unavailable");
  EXPECT_EQ(reply["records"], 0);
  // The terminal was not asked: its records were never requested.
  EXPECT_TRUE(sim.frames().empty());

  got = run({"door", "download", "-m", "3", "-p", "{port}", "--db", "Driver=NoSuchDriver;",
             "--table", "Records"});
  EXPECT_EQ(got.status, 3) << got.out << got.err;
  EXPECT_NE(got.err.find("solvard door download: the database cannot be used: "), std::string::npos)
      << got.err;
  EXPECT_TRUE(sim.frames().empty());
}

TEST_F(CommandLineTest, UsageErrorsAreOneLineAndTouchNoLine) {
  const Case cases[] = {
      {{"door", "open", "-m", "3", "-p", "0"},
       2,
       "",
       "solvard door open: --port: port number 0 is not 1 to 255 (a device path in this folder is "
       "written ./0) (see 'solvard door open --help')\n"},
      {{"door", "open", "-m", "3", "-p", "40000"},
       2,
       "",
       "solvard door open: --port: port number 40000 is not 1 to 255 (a device path in this "
       "folder is written ./40000) (see 'solvard door open --help')\n"},
      {{"door", "open", "-m", "256", "-p", "{port}"},
       2,
       "",
       "solvard door open: --machine: Value 256 not in range 0 to 255 (see 'solvard door open "
       "--help')\n"},
      {{"door", "open", "-p", "{port}"},
       2,
       "",
       "solvard door open: --machine is required (see 'solvard door open --help')\n"},
      {{"door", "mode", "-m", "3", "-p", "{port}", "--mode", "7"},
       2,
       "",
       "solvard door mode: --mode: 7 not in {0,255} (see 'solvard door mode --help')\n"},
      {{"door", "delay", "-m", "3", "-p", "{port}", "--seconds", "300"},
       2,
       "",
       "solvard door delay: --seconds: Value 300 not in range 1 to 255 (see 'solvard door delay "
       "--help')\n"},
      {{"door", "allow", "-m", "3", "-p", "{port}", "--card", "1", "--from", "2002-12-31", "--to",
        "2001-06-29"},
       2,
       "",
       "solvard door allow: --to: the card's window ends (2001-06-29) before it starts "
       "(2002-12-31) (see 'solvard door allow --help')\n"},
      {{"door", "allow", "-m", "3", "-p", "{port}", "--card", "1", "--from", "2001-06-29", "--to",
        "2002-12-31", "--weekdays", "5-1"},
       2,
       "",
       "solvard door allow: --weekdays: the weekday range 5-1 runs backwards: the first day comes "
       "first (see 'solvard door allow --help')\n"},
      {{"door", "allow", "-m", "3", "-p", "{port}", "--card", "12345678901", "--from", "2001-06-29",
        "--to", "2002-12-31"},
       2,
       "",
       "solvard door allow: --card: takes up to ten decimal digits, not \"12345678901\" (see "
       "'solvard door allow --help')\n"},
      {{"door", "time", "-m", "3", "-p", "{port}", "--date", "1999-12-31"},
       2,
       "",
       "solvard door time: --date: \"1999-12-31\": year 1999 is not 2000 to 2099 (the terminals "
       "keep two digits) (see 'solvard door time --help')\n"},
      {{"attend", "download", "-m", "1", "-p", "{port}", "--db", ""},
       2,
       "",
       "solvard attend download: --db: is empty: give an SQLite file or a connection text (see "
       "'solvard attend download --help')\n"},
      {{"attend", "delete-card", "-m", "1", "-p", "{port}", "--card", "1234567"},
       2,
       "",
       "solvard attend delete-card: --card: takes up to six decimal digits, not \"1234567\" (see "
       "'solvard attend delete-card --help')\n"},
      {{"door", "open", "-m", "3", "-p", "{port}", "-b", "0"},
       2,
       "",
       "solvard door open: --baud: Value 0 not in range 1 to 4000000 (see 'solvard door open "
       "--help')\n"},
      {{"door", "fly", "-m", "3"},
       2,
       "",
       "solvard door: no action \"fly\" (see 'solvard door --help')\n"},
      // A device name or a connection text that would split the journal's lines or end at a NUL.
      {{"door", "open", "-m", "3", "-p", "{port}\n"},
       2,
       "",
       "solvard door open: --port: contains a control character (\\n): give printable text (see "
       "'solvard door open --help')\n"},
      {{"door", "download", "-m", "3", "-p", "{port}", "--table", "Records", "-d", "a\tb.db"},
       2,
       "",
       "solvard door download: --db: contains a control character (\\t): give printable text "
       "(see 'solvard door download --help')\n"},
      {{"attend", "download", "-m", "1", "-p", "{port}", "-d", "a\x7f.db"},
       2,
       "",
       "solvard attend download: --db: contains a control character (\\u007F): give printable "
       "text (see 'solvard attend download --help')\n"},
  };
  for (const Case& c : cases) {
    const CommandRun got = run(c.words);
    EXPECT_EQ(got.status, c.status) << c.words[1];
    EXPECT_EQ(got.out, c.out) << c.words[1];
    EXPECT_EQ(got.err, c.err) << c.words[1];
  }
  EXPECT_TRUE(sim.frames().empty()) << "a refused command reached the line";
}

TEST_F(CommandLineTest, HelpIsOnStandardOutputEverywhere) {
  const std::vector<std::vector<std::string>> commands = {
      {},
      {"interface"},
      {"session"},
      {"invoke"},
      {"attend"},
      {"attend", "download"},
      {"clock", "set"},
      {"door"},
      {"door", "allow"},
      {"demo"},
  };
  for (std::vector<std::string> words : commands) {
    std::string usage = "solvard";
    for (const std::string& w : words) usage += " " + w;
    words.push_back("--help");
    const CommandRun got = run(words);
    EXPECT_EQ(got.status, 0) << usage;
    EXPECT_NE(got.out.find("Usage: " + usage + " [OPTIONS]"), std::string::npos) << got.out;
    EXPECT_EQ(got.err, "") << usage;
  }
  const CommandRun version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "solvard 1.0\n");
}

TEST_F(CommandLineTest, TheEnvironmentNamesTheLineAndTheDatabase) {
  env["SOLVARD_PORT"] = sim.path();
  env["SOLVARD_BAUD"] = "19200";
  env["SOLVARD_DB"] = (folder / "records.db").string();
  CommandRun got = run({"door", "open", "-m", "3"});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out, "terminal 3 acknowledged: lock opened\n");
  got = run({"attend", "download", "-m", "1", "--no-progress"});
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(dbRows("select count(*) from WorkCardSource"), "5 \n");
  // An option given wins over the environment.
  got = run({"door", "open", "-m", "3", "-p", (folder / "ttyNONE").string()});
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.err, "solvard door open: cannot open " + (folder / "ttyNONE").string() +
                         ": No such file or directory (check the device name; 'solvard ports' "
                         "lists this machine's serial devices)\n");
}

TEST_F(CommandLineTest, TraceShowsEachByteWithItsTime) {
  const CommandRun got = run({"door", "open", "-m", "3", "-p", "{port}", "--trace"});
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, "terminal 3 acknowledged: lock opened\n");
  EXPECT_TRUE(
      std::regex_match(got.err, std::regex("trace +[0-9]+\\.[0-9]{3} ms  sent  03 11\n"
                                           "(trace +[0-9]+\\.[0-9]{3} ms  recv ( 0[23])+\n)+")))
      << got.err;
}

TEST_F(CommandLineTest, CompletionAndManualFollowTheOptions) {
  const CommandRun script = run({"docs", "--bash-completion"});
  ASSERT_EQ(script.status, 0) << script.err;
  const fs::path file = folder / "solvard.bash";
  { std::ofstream(file) << script.out; }
  const struct {
    const char* typed;
    const char* offered;
  } cases[] = {
      {"solvard at", "attend\n"},
      {"solvard door al", "allow\n"},
      {"solvard door allow --we", "--weekdays\n"},
      {"solvard door open -m 3 --tr", "--trace\n"},
      {"solvard attend download --no", "--no-progress\n"},
      {"solvard clock s", "set\n"},
  };
  for (const auto& c : cases) {
    const std::string shell = "source '" + file.string() + "'; COMP_WORDS=(" + c.typed +
                              "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _solvard; "
                              "echo \"${COMPREPLY[*]}\"";
    const CommandRun got = runCommand("/bin/bash", {"-c", shell});
    EXPECT_EQ(got.out, c.offered) << c.typed << got.err;
  }
  const CommandRun man = run({"docs", "--man"});
  ASSERT_EQ(man.status, 0);
  for (const char* part :
       {".SS \"solvard door allow\"", "\\fB\\-\\-weekdays\\fR", "\\fB\\-p\\fR, \\fB\\-\\-port\\fR",
        "(default: $SOLVARD_PORT)", ".B SOLVARD_DB", ".SS \"solvard ports\""}) {
    EXPECT_NE(man.out.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace solvard::tool
