#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "session.hpp"

namespace solvard::tool {
namespace {

// Strict UTF-8, written here independently of the command's own reader: shortest forms only,
// no surrogates, nothing past U+10FFFF.
bool isValidUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    uint32_t cp = lead;
    uint32_t least = 0;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, cp = lead & 0x07u, least = 0x10000;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, cp = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, cp = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0x80) {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// Runs the session over `input` and returns its reply lines.
std::vector<std::string> run(const std::string& input) {
  Session session;
  std::istringstream in(input);
  std::ostringstream out;
  EXPECT_EQ(session.run(in, out), 0);
  std::vector<std::string> lines;
  std::istringstream replies(out.str());
  for (std::string line; std::getline(replies, line);) lines.push_back(line);
  return lines;
}

std::string refusal(const std::string& description) {
  return R"({"result":null,"byref":{},"messages":[],"error":{"number":5,"description":"Invalid procedure call or argument: )" +
         description + R"("},"log":[]})";
}

std::string nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(SessionInput, DeepNestingIsRefusedAndTheSessionAnswersTheNextLine) {
  const std::vector<std::string> replies =
      run(nested(50000) + "\n" + R"({"op":"create","class":"Attend","id":"a"})" + "\n");
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0], refusal("invalid JSON at offset 64: nested deeper than 64 levels"));
  EXPECT_EQ(replies[1], R"({"result":null,"byref":{},"messages":[],"error":null,"log":[]})");
}

TEST(SessionInput, NestingIsTakenTo64LevelsAndNoFurther) {
  EXPECT_NO_THROW(Json::parse(nested(64)));
  EXPECT_THROW(Json::parse(nested(65)), JsonError);
  // In a request: the object is the first level, so 63 arrays inside it reach 64.
  const auto request = [](int arrays) {
    return R"({"op":"settings","x":)" + nested(arrays) + "}\n";
  };
  const std::vector<std::string> replies = run(request(63) + request(64));
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(Json::parse(replies[0]).find("error")->dump(), "null");
  EXPECT_EQ(replies[1], refusal("invalid JSON at offset 84: nested deeper than 64 levels"));
}

struct TextCase {
  const char* name;
  std::string line;
  std::string description;  // of the refusal; empty: accepted, the op named in the error
};

class RequestText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RequestText, IsUtf8WithWholeCharactersOrRefused) {
  const TextCase& c = GetParam();
  const std::vector<std::string> replies = run(c.line + "\n");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(isValidUtf8(replies[0])) << replies[0];
  EXPECT_EQ(replies[0], refusal(c.description));
}

const std::string kByteRefused =
    " is not UTF-8 here (overlong, cut short, a surrogate or no character at all)";

INSTANTIATE_TEST_SUITE_P(
    Lines, RequestText,
    ::testing::Values(
        TextCase{"Overlong", "{\"op\":\"\xC0\xAF\"}",
                 "invalid JSON at offset 7: byte 0xC0" + kByteRefused},
        TextCase{"OverlongThreeBytes", "{\"op\":\"\xE0\x80\xAF\"}",
                 "invalid JSON at offset 7: byte 0xE0" + kByteRefused},
        TextCase{"CutShort", "{\"op\":\"a\xE2\x82\"}",
                 "invalid JSON at offset 8: byte 0xE2" + kByteRefused},
        TextCase{"ByteFF", "{\"op\":\"\xFF\"}",
                 "invalid JSON at offset 7: byte 0xFF" + kByteRefused},
        TextCase{"EncodedSurrogate", "{\"op\":\"\xED\xA0\x80\"}",
                 "invalid JSON at offset 7: byte 0xED" + kByteRefused},
        TextCase{"PastTheLastCharacter", "{\"op\":\"\xF4\x90\x80\x80\"}",
                 "invalid JSON at offset 7: byte 0xF4" + kByteRefused},
        TextCase{"InAMemberName", "{\"\xFF\":1}",
                 "invalid JSON at offset 2: byte 0xFF" + kByteRefused},
        TextCase{
            "HighSurrogateAlone", R"({"op":"x\ud800"})",
            R"(invalid JSON at offset 8: \\ud800 is half of a surrogate pair without its other half)"},
        TextCase{
            "HighSurrogateBeforeAnotherEscape", R"({"op":"\uD800\u0041"})",
            R"(invalid JSON at offset 7: \\ud800 is half of a surrogate pair without its other half)"},
        TextCase{
            "TwoHighSurrogates", R"({"op":"\ud83d\ud83d"})",
            R"(invalid JSON at offset 7: \\ud83d is half of a surrogate pair without its other half)"},
        TextCase{
            "LowSurrogateAlone", R"({"op":"\ude00"})",
            R"(invalid JSON at offset 7: \\ude00 is half of a surrogate pair without its other half)"},
        // Well-formed text passes and comes back as UTF-8.
        TextCase{"PairOfSurrogates", R"({"op":"\ud83d\ude00"})",
                 "unknown op \\\"\xF0\x9F\x98\x80\\\""},
        TextCase{"RawCharacters", "{\"op\":\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\"}",
                 "unknown op \\\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD\\\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SessionInput, RepliesAreUtf8WhateverTheLibrarySupplies) {
  // A language module, a database or the system may hand the library text in another encoding.
  EXPECT_EQ(Json(std::string("Caf\xE9 \xED\xA0\x80 ok \xC3\xA9")).dump(),
            "\"Caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD ok \xC3\xA9\"");
  EXPECT_TRUE(isValidUtf8(Json(Json::Object{{"a\xC0", Json("\xF8\x88\x80\x80\x80")}}).dump()));
}

TEST(SessionInput, AnOverlongLineIsRefusedAndTheNextOneAnswered) {
  const std::string huge =
      R"({"op":"settings","x":")" + std::string(Session::kMaxLineBytes, 'x') + "\"}\n";
  const std::vector<std::string> replies = run(huge + R"({"op":"fly"})" + "\n");
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0], refusal("the line is longer than 1048576 bytes"));
  EXPECT_EQ(replies[1], refusal(R"(unknown op \"fly\")"));
}

// Every line gets its reply, an empty one too: a host counting replies against its lines never
// waits for one that does not come.
TEST(SessionInput, AnEmptyLineOrOneOfBlanksIsAnsweredAsABadLine) {
  const std::vector<std::string> replies =
      run("\n\r\n \t\r\n" + std::string(R"({"op":"create","class":"Attend","id":"a"})") + "\r\n");
  const std::string empty = refusal("the line is empty: each line must be a JSON object");
  EXPECT_EQ(replies, (std::vector<std::string>{
                         empty, empty, empty,
                         R"({"result":null,"byref":{},"messages":[],"error":null,"log":[]})"}));
}

// A name the host sends is shown in the reply up to 64 characters, whole characters only, with
// its length when it is cut.
TEST(SessionInput, AHostsTextIsShownInTheReplyUpTo64Characters) {
  const std::string e = "\xC3\xA9";  // é, two bytes
  std::string accented;
  for (int i = 0; i < 100; ++i) accented += e;
  std::string first64;
  for (int i = 0; i < 64; ++i) first64 += e;
  const std::string ellipsis = "\xE2\x80\xA6";
  const std::string x64(64, 'x');
  const struct {
    std::string line;
    std::string reply;
  } cases[] = {
      {R"({"op":")" + x64 + R"("})", refusal(R"(unknown op \")" + x64 + R"(\")")},
      {R"({"op":")" + std::string(900'000, 'x') + R"("})",
       refusal(R"(unknown op \")" + x64 + ellipsis + R"(\" (900000 bytes))")},
      {R"({"op":"get","id":")" + accented + R"(","member":"CommPortID"})",
       refusal(R"(no object with id \")" + first64 + ellipsis + R"(\" (200 bytes))")},
      {R"({"op":"create","id":"a","class":")" + std::string(1000, 'C') + R"("})",
       R"({"result":null,"byref":{},"messages":[],"error":{"number":429,"description":"ActiveX component can't create object: )" +
           std::string(64, 'C') + ellipsis + R"x( (1000 bytes)"},"log":[]})x"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> replies = run(c.line + "\n");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], c.reply);
  }
}

}  // namespace
}  // namespace solvard::tool
