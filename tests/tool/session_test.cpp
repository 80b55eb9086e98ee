#include "session.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ui/lan_res.hpp"

namespace solvard::tool {
namespace {

class SessionTest : public ::testing::Test {
 protected:
  Json send(const std::string& line) { return session_.handleLine(line); }
  Session session_;
};

TEST_F(SessionTest, CreateLetGetAndSettingsFollowTheProperties) {
  EXPECT_EQ(send(R"({"op":"create","class":"Prohibit","id":"p"})").dump(),
            R"({"result":null,"byref":{},"messages":[],"error":null,"log":[]})");
  send(R"({"op":"let","id":"p","member":"CommBautRate","value":19200})");
  send(R"({"op":"let","id":"p","member":"CommPortID","value":"7"})");
  EXPECT_EQ(send(R"({"op":"get","id":"p","member":"commbautrate"})").find("result")->dump(),
            "19200");
  EXPECT_EQ(send(R"({"op":"settings"})").find("result")->dump(),
            R"({"port":7,"settings":"19200,N,8,1","in":1024,"out":512})");
  send(R"({"op":"create","class":"Solvard.Attend","id":"a"})");
  EXPECT_EQ(send(R"({"op":"settings"})").find("result")->dump(),
            R"({"port":0,"settings":"9600,N,8,1","in":1024,"out":512})");
}

TEST_F(SessionTest, ErrorsComeBackAsNumberAndDescription) {
  send(R"({"op":"create","class":"Prohibit","id":"p"})");
  struct Case {
    const char* request;
    const char* error;
  } cases[] = {
      {R"({"op":"let","id":"p","member":"CommBautRate","value":"fast"})",
       R"({"number":13,"description":"Type mismatch"})"},
      {R"({"op":"let","id":"p","member":"CommBautRate","value":40000})",
       R"({"number":6,"description":"Overflow"})"},
      {R"({"op":"let","id":"p","member":"GetLanRes","value":"abc"})",
       R"({"number":13,"description":"Type mismatch"})"},
      {R"({"op":"call","id":"p","member":"NoSuch","args":[]})",
       R"({"number":438,"description":"Object doesn't support this property or method"})"},
      {R"({"op":"call","id":"q","member":"OpenLock","args":[1]})",
       R"({"number":5,"description":"Invalid procedure call or argument: no object with id \"q\""})"},
      {R"({"op":"create","class":"Door","id":"d"})",
       R"({"number":429,"description":"ActiveX component can't create object: Door"})"},
      {R"({"op":"fly"})",
       R"({"number":5,"description":"Invalid procedure call or argument: unknown op \"fly\""})"},
      {R"(not json)",
       R"({"number":5,"description":"Invalid procedure call or argument: invalid JSON at offset 0: expected a value"})"},
  };
  for (const Case& c : cases) {
    Json reply = send(c.request);
    EXPECT_EQ(reply.find("error")->dump(), c.error) << c.request;
    EXPECT_TRUE(reply.find("result")->isNull()) << c.request;
  }
}

TEST_F(SessionTest, InOutArgumentsAreReportedByName) {
  send(R"({"op":"create","class":"Attend","id":"a"})");
  // ClearListInMac takes FuncID by reference and leaves it as it was, whatever the outcome.
  Json reply = send(R"({"op":"call","id":"a","member":"ClearListInMac","args":[300,"17"]})");
  EXPECT_EQ(reply.find("byref")->dump(), R"({"FuncID":17})");
}

TEST_F(SessionTest, LanguageLoadsAModuleAndGetLanResSelectsIt) {
  std::filesystem::path file = std::filesystem::temp_directory_path() / "session_test_lang.rc";
  {
    std::ofstream out(file);
    out << "STRINGTABLE\nBEGIN\n  61206, \"Port?\"\nEND\n";
  }
  Json reply = send(R"({"op":"language","path":")" + file.string() + R"("})");
  ASSERT_TRUE(reply.find("error")->isNull()) << reply.dump();
  ASSERT_TRUE(reply.find("result")->isNumber());
  int handle = static_cast<int>(reply.find("result")->asNumber());
  EXPECT_NE(handle, 0);
  send(R"({"op":"create","class":"Attend","id":"a"})");
  send(R"({"op":"let","id":"a","member":"GetLanRes","value":)" + std::to_string(handle) + "}");
  EXPECT_EQ(ui::lanResHandle(), handle);

  Json bad = send(R"({"op":"language","path":"/no/such/file.rc"})");
  EXPECT_EQ(bad.find("error")->find("number")->dump(), "5");
  std::filesystem::remove(file);
}

TEST(JsonTest, RoundTripsTextAndNumbers) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {R"({"a":[1,-2.5,true,null],"b":"x\"y\\z\n"})",
       R"({"a":[1,-2.5,true,null],"b":"x\"y\\z\n"})"},
      {R"("\u00e9\ud83d\ude00")", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
      {R"( [ 1e3 , 0.1 ] )", "[1000,0.1]"},
      {R"("\u0001")", R"("\u0001")"},
  };
  for (const Case& c : cases) EXPECT_EQ(Json::parse(c.in).dump(), c.out) << c.in;
  for (const char* bad : {"{", "[1,]", "\"abc", "01x", "{\"a\" 1}", "tru"}) {
    EXPECT_THROW(Json::parse(bad), JsonError) << bad;
  }
}

}  // namespace
}  // namespace solvard::tool
