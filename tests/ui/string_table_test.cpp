#include "ui/string_table.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ui/form.hpp"
#include "ui/messages.hpp"
#include "ui/utf8.hpp"

namespace solvard::ui {
namespace {

struct GoodCase {
  std::string name;
  std::string source;
  StringTable expected;
};

class ParseGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(ParseGood, Reads) {
  EXPECT_EQ(parseStringTable(GetParam().source, "good.rc"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParseGood,
    ::testing::Values(
        GoodCase{"Empty", "", {}},
        GoodCase{"BeginEndAndBraces",
                 "STRINGTABLE\nBEGIN\n  1 \"MS Sans Serif\"\n  5, \"9\"\nEND\n"
                 "stringtable { 0x10, \"a\" 65535 \"b\" }",
                 {{1, "MS Sans Serif"}, {5, "9"}, {16, "a"}, {65535, "b"}}},
        GoodCase{"HeaderWordsAndDirectives",
                 "\xEF\xBB\xBF#include <winresrc.h>\n  #define IDS_X 5\n#pragma code_page(65001)\n"
                 "#define LONG 1 \\\n   2\nLANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n"
                 "STRINGTABLE DISCARDABLE PRELOAD\nLANGUAGE 9, 1\nCHARACTERISTICS 3\nVERSION 2\n"
                 "/* a\n comment */ BEGIN // \"not a text\"\n 1 \"a // b /* c */\" END",
                 {{1, "a // b /* c */"}}},
        GoodCase{"Escapes",
                 R"(STRINGTABLE BEGIN
  1 "line\nnext\ttab\rcr"
  2 "back\\slash \"quoted\" and ""doubled"""
  3 "\x41\x4a\x4G \101\0601"
  4 L"nul\0after"
  5 "终端"
END)",
                 {{1, "line\nnext\ttab\rcr"},
                  {2, "back\\slash \"quoted\" and \"doubled\""},
                  {3, "AJ\x04G A01"},
                  {4, std::string("nul\0after", 9)},
                  {5, "终端"}}}),
    [](const auto& info) { return info.param.name; });

struct BadCase {
  std::string name;
  std::string source;
  std::string reason;
};

class ParseBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ParseBad, RefusesNamingFileAndLine) {
  try {
    parseStringTable(GetParam().source, "lang/bad.rc");
    ADD_FAILURE() << "parsed";
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(e.number(), kLanguageFileError);
    EXPECT_EQ(e.description(), "Cannot read language module \"lang/bad.rc\", " + GetParam().reason);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParseBad,
    ::testing::Values(
        BadCase{"UnterminatedText", "STRINGTABLE\nBEGIN\n  1 \"open\n  2 \"b\"\nEND",
                "line 3: the text is not closed"},
        BadCase{"MissingEnd", "STRINGTABLE\nBEGIN\n  1 \"a\"\n",
                "line 4: the STRINGTABLE block of line 1 has no END"},
        BadCase{"SymbolicId", "STRINGTABLE\nBEGIN\n  IDS_HELLO \"x\"\nEND",
                "line 3: the string id \"IDS_HELLO\" is not a number"},
        BadCase{"IdTooLarge", "STRINGTABLE BEGIN\n65536 \"x\" END",
                "line 2: the string id 65536 is larger than 65535"},
        BadCase{"DuplicateId", "STRINGTABLE BEGIN\n1 \"x\"\n0x1 \"y\" END",
                "line 3: string 1 is given twice"},
        BadCase{"IdWithoutText", "STRINGTABLE BEGIN\n5\nEND",
                "line 3: expected the text of string 5, found \"END\""},
        BadCase{"NoBegin", "STRINGTABLE\n1 \"x\"", "line 2: expected BEGIN, found \"1\""},
        BadCase{"OtherResource", "\n1 ICON \"app.ico\"",
                "line 2: expected STRINGTABLE, found \"1\""},
        BadCase{"ConditionalDirective", "#ifdef X\nSTRINGTABLE BEGIN END\n#endif",
                "line 1: the directive #ifdef is not supported"},
        BadCase{"UnknownEscape", "STRINGTABLE BEGIN\n1 \"a\\qb\" END",
                "line 2: unknown escape \\q"},
        BadCase{"OctalBeyondAByte", "STRINGTABLE BEGIN 1 \"\\777\" END",
                "line 1: the octal escape is larger than a byte"},
        BadCase{"CommentNotClosed", "STRINGTABLE\n/* open\n", "line 2: the comment is not closed"},
        BadCase{"NotUtf8", "STRINGTABLE BEGIN\n1 \"\xC4\xE3\xBA\xC3\" END",
                "line 2: the file is not UTF-8 text"}),
    [](const auto& info) { return info.param.name; });

// CTest names the source tree; a run of the program by hand may name it too, or the tree is
// found from where this file was compiled.
std::filesystem::path sourceDir() {
  if (const char* dir = std::getenv("SOLVARD_SOURCE_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

TEST(ShippedLanguages, HoldTheFontAndEveryMessage) {
  for (const char* name : {"en.rc", "zh-CN.rc"}) {
    SCOPED_TRACE(name);
    const StringTable table = readStringTable(sourceDir() / "lang" / name);
    ASSERT_TRUE(table.contains(1) && table.contains(5));
    EXPECT_FALSE(table.at(1).empty());
    EXPECT_GT(leadingNumber(table.at(5)), 0);
    for (int32_t id = msg::kNoAcknowledgement; id <= msg::kBadEndMark; ++id) {
      ASSERT_TRUE(table.contains(id)) << id;
      const std::string& text = table.at(id);
      EXPECT_FALSE(text.empty()) << id;
      EXPECT_EQ(firstCharacters(text, 253), text) << id << " is 254 characters or longer";
    }
  }
}

}  // namespace
}  // namespace solvard::ui
