#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "commands.hpp"
#include "session.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;

// Paths in the temporary folder named after the test (CTest runs each test in a process of its
// own), removed afterwards.
class SessionLog : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = fs::temp_directory_path() / ("solvard-session-log-" + name);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::ofstream(regularFile()) << "not a port\n";
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string regularFile() const { return (folder_ / "regular").string(); }
  std::string missingDevice() const { return (folder_ / "ttyGone").string(); }
  std::string databaseFile() const { return (folder_ / "attend.db").string(); }

  Json send(const Json& request) { return session_.handle(request); }
  Json sendLine(const std::string& line) { return session_.handleLine(line); }

  // Creates `id` of `className` on port 5, mapped to `device`; every step logs nothing.
  void create(const std::string& className, const std::string& id, const std::string& device) {
    for (const Json& request :
         {Json(Json::Object{{"op", "device"}, {"port", 5}, {"path", device}}),
          Json(Json::Object{{"op", "create"}, {"class", className}, {"id", id}}),
          Json(Json::Object{{"op", "let"}, {"id", id}, {"member", "CommPortID"}, {"value", 5}})}) {
      const Json reply = send(request);
      EXPECT_EQ(reply.find("error")->dump(), "null") << request.dump();
      EXPECT_EQ(reply.find("log")->dump(), "[]") << request.dump();
    }
  }

  Session session_;

 private:
  fs::path folder_;
};

struct PortCase {
  const char* name;
  const char* className;
  const char* member;
  bool missing;  // a device path that does not exist, else a regular file
  const char* why;
  const char* result;
};

class PortFailure : public SessionLog, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortFailure, TheLogNamesTheDeviceAndWhy) {
  const PortCase& c = GetParam();
  const std::string device = c.missing ? missingDevice() : regularFile();
  create(c.className, "o", device);
  send(Json(Json::Object{
      {"op", "let"}, {"id", "o"}, {"member", "ConnectString"}, {"value", databaseFile()}}));
  const Json reply = send(Json(Json::Object{
      {"op", "call"}, {"id", "o"}, {"member", c.member}, {"args", Json(Json::Array{Json(3)})}}));
  EXPECT_EQ(reply.find("result")->dump(), c.result);
  EXPECT_EQ(reply.find("messages")->asArray().at(0).find("number")->dump(), "61206");
  EXPECT_EQ(reply.find("log")->dump(),
            Json(Json::Array{
                     Json("the port cannot be opened: Port unavailable: " + device + ": " + c.why)})
                .dump());
  const std::vector<std::string> keys = [&] {
    std::vector<std::string> names;
    for (const auto& [key, value] : reply.asObject()) names.push_back(key);
    return names;
  }();
  EXPECT_EQ(keys, (std::vector<std::string>{"result", "byref", "messages", "error", "log"}));
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PortFailure,
    ::testing::Values(PortCase{"DoorOnARegularFile", "Prohibit", "OpenLock", false,
                               "not a serial device", "0"},
                      PortCase{"DoorOnAMissingDevice", "Prohibit", "OpenLock", true,
                               "No such file or directory", "0"},
                      PortCase{"AttendanceDownloadOnARegularFile", "Attend", "GetMacData", false,
                               "not a serial device", "-1"},
                      PortCase{"AttendanceDownloadOnAMissingDevice", "Attend", "GetMacData", true,
                               "No such file or directory", "-1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionLog, ADownloadWhoseDatabaseCannotBeOpenedSaysWhy) {
  create("Attend", "a", regularFile());
  sendLine(R"({"op":"let","id":"a","member":"ConnectString","value":"Provider=Nope"})");
  const Json reply = sendLine(R"({"op":"call","id":"a","member":"GetMacData","args":[1]})");
  EXPECT_EQ(reply.dump(),
            R"({"result":-1,"byref":{},"messages":[],"error":null,"log":["GetMacData(1): the )"
            R"(database cannot be opened: [08001] (0) the provider \"Nope\" is not supported; )"
            R"(give an ODBC connection text (Driver=...;... or DSN=...) or the path of an SQLite )"
            R"(database file; nothing was asked of the terminal"]})");
}

// Standard output and standard error, captured for as long as it lives.
class CapturedOutput {
 public:
  CapturedOutput()
      : out_(std::cout.rdbuf(outText_.rdbuf())), err_(std::cerr.rdbuf(errText_.rdbuf())) {}
  ~CapturedOutput() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }
  std::string out() const { return outText_.str(); }
  std::string err() const { return errText_.str(); }

 private:
  std::ostringstream outText_;
  std::ostringstream errText_;
  std::streambuf* out_;
  std::streambuf* err_;
};

TEST_F(SessionLog, InvokeShowsTheLogOnStandardErrorOrInItsJson) {
  const std::string line =
      "the port cannot be opened: Port unavailable: " + regularFile() + ": not a serial device";
  {
    CapturedOutput captured;
    EXPECT_EQ(invokeCommand({"Prohibit", "OpenLock", "3", "--port", regularFile()}), kExitOk);
    EXPECT_EQ(captured.err(), "Solvard: " + line + "\n");
    EXPECT_TRUE(captured.out().starts_with("message 61206: ")) << captured.out();
    EXPECT_TRUE(captured.out().ends_with("\nresult: 0\n")) << captured.out();
  }
  CapturedOutput captured;
  EXPECT_EQ(invokeCommand({"Prohibit", "OpenLock", "3", "--port", regularFile(), "--json"}),
            kExitOk);
  EXPECT_EQ(captured.err(), "");
  EXPECT_EQ(Json::parse(captured.out()).find("log")->dump(), Json(Json::Array{Json(line)}).dump());
}

}  // namespace
}  // namespace solvard::tool
