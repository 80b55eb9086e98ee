#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/error.hpp"
#include "ui/form.hpp"
#include "ui/lan_res.hpp"
#include "ui/language_modules.hpp"
#include "ui/messages.hpp"
#include "ui/string_source.hpp"
#include "ui/ui_fixture.hpp"

namespace solvard::ui {
namespace {

using automation::AutomationError;
using automation::Variant;

class LoadLanStringTest : public testing::UiTest {};

std::string repeat(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST_F(LoadLanStringTest, TextComesBackAsTheBufferHoldsIt) {
  const std::string kIdeograph = "\xE7\xBB\x88";
  const std::pair<std::string, std::string> cases[] = {
      {std::string(300, 'x'), std::string(254, 'x')},
      {std::string(254, 'y'), std::string(254, 'y')},
      {repeat(kIdeograph, 300), repeat(kIdeograph, 254)},
      {std::string(253, 'a') + repeat(kIdeograph, 2), std::string(253, 'a') + kIdeograph},
      {std::string("ab\0cd", 5), "ab"},
  };
  for (const auto& [stored, expected] : cases) {
    setHostStringTable({{61204, stored}});
    EXPECT_EQ(LoadLanString(61204), expected) << stored.size();
  }
  EXPECT_EQ(LoadLanString(61205), "");
}

TEST_F(LoadLanStringTest, TheSelectedModuleAnswersAndHandleZeroIsTheHostTable) {
  testing::TempFile file("STRINGTABLE\nBEGIN\n  61206 \"module text\"\nEND\n");
  const int32_t handle = loadLanguageModule(file.path());
  const int32_t next = loadLanguageModule(file.path());
  EXPECT_EQ(handle % 0x10000, 0);
  EXPECT_EQ(next - handle, 0x10000);
  setHostStringTable({{61206, "host text"}});

  EXPECT_EQ(LoadLanString(61206), "host text");
  setLanResHandle(Variant(handle));
  EXPECT_EQ(LoadLanString(61206), "module text");
  setLanResHandle(Variant(handle + 1));
  EXPECT_EQ(LoadLanString(61206), "");
  setLanResHandle(Variant(int32_t{0}));
  EXPECT_EQ(LoadLanString(61206), "host text");

  setLanResHandle(Variant(handle));
  EXPECT_TRUE(unloadLanguageModule(handle));
  EXPECT_FALSE(unloadLanguageModule(handle));
  EXPECT_EQ(LoadLanString(61206), "");
  unloadLanguageModule(next);
}

TEST_F(LoadLanStringTest, AnInstalledSourceAnswersUntilTheDefaultIsPutBack) {
  setHostStringTable({{61206, "host text"}});
  std::vector<std::pair<int32_t, int32_t>> asked;
  setStringSource([&](int32_t handle, int32_t id) -> std::optional<std::string> {
    asked.emplace_back(handle, id);
    if (id == 7) return std::nullopt;
    return std::string(300, 'z');
  });
  setLanResHandle(Variant(int32_t{0x40000}));
  EXPECT_EQ(LoadLanString(61206), std::string(254, 'z'));
  EXPECT_EQ(LoadLanString(7), "");
  EXPECT_EQ(asked, (std::vector<std::pair<int32_t, int32_t>>{{0x40000, 61206}, {0x40000, 7}}));

  setStringSource(nullptr);
  setLanResHandle(Variant(int32_t{0}));
  EXPECT_EQ(LoadLanString(61206), "host text");
}

TEST_F(LoadLanStringTest, AFileThatCannotBeUsedIsRefusedWithItsName) {
  testing::TempFile bad("STRINGTABLE\nBEGIN\n  1 \"open\nEND\n");
  const std::string missing = (std::filesystem::temp_directory_path() / "solvard-none.rc").string();
  const std::string directory = std::filesystem::temp_directory_path().string();
  // A string table a byte over the bound (sparse where the system makes it so).
  const std::filesystem::path large =
      std::filesystem::temp_directory_path() / "solvard-ui-larger-than-a-table.rc";
  std::ofstream(large, std::ios::binary) << "STRINGTABLE\nBEGIN\n  1 \"a\"\nEND\n";
  std::filesystem::resize_file(large, (1 << 20) + 1);
  const std::pair<std::string, std::string> cases[] = {
      {bad.path().string(), "\", line 3: the text is not closed"},
      {missing, "\": the file cannot be opened"},
      {directory, "\": the file cannot be opened"},
      {large.string(), "\": the file is larger than 1 MiB, more than a string table takes"},
  };
  for (const auto& [path, reason] : cases) {
    try {
      loadLanguageModule(path);
      ADD_FAILURE() << path << " was loaded";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), 5);
      EXPECT_EQ(e.description(), "Cannot read language module \"" + path + reason);
    }
  }
  std::filesystem::remove(large);
}

TEST_F(LoadLanStringTest, GetLanResConvertsOrLeavesTheHandle) {
  EXPECT_EQ(lanResHandle(), 0);
  setLanResHandle(Variant("131072"));
  EXPECT_EQ(lanResHandle(), 0x20000);
  const std::pair<Variant, int32_t> failing[] = {
      {Variant("abc"), 13}, {Variant(3e9), 6}, {Variant("3000000000"), 6}, {Variant(-3e9), 6}};
  for (const auto& [value, error] : failing) {
    try {
      setLanResHandle(value);
      ADD_FAILURE() << "converted";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), error);
    }
    EXPECT_EQ(lanResHandle(), 0x20000);
  }
}

struct FontCase {
  std::optional<std::string> id1;
  std::optional<std::string> id5;
  Font expected;
};

TEST_F(LoadLanStringTest, ApplyLanFontSetsTheFormAndStandardButtons) {
  // Each half of the font is skipped on its own when its string fails.
  const FontCase cases[] = {
      {"SimSun", "9", {"SimSun", 9}},
      {"Arial", "12pt", {"Arial", 12}},
      {"Arial", " 9.5 ", {"Arial", 9.5}},
      {"Arial", "x", {"Arial", 8}},
      {"Arial", "0", {"Arial", 8}},
      {"Arial", "-3", {"Arial", 8}},
      {"Arial", "5000", {"Arial", 8}},
      {"", "10", {"MS Sans Serif", 10}},
      {std::nullopt, std::nullopt, kDesignFont},
  };
  for (const auto& c : cases) {
    StringTable table;
    if (c.id1) table[1] = *c.id1;
    if (c.id5) table[5] = *c.id5;
    setHostStringTable(table);
    Form form;
    form.controls = {
        {"standard", ControlKind::StandardButton, 0, 0, 900, 285, true, "", kDesignFont},
        {"own", ControlKind::OwnButton, 900, 0, 900, 285, true, "", kDesignFont}};
    ApplyLanFont(form);
    EXPECT_EQ(form.font, c.expected) << c.id1.value_or("-") << " " << c.id5.value_or("-");
    EXPECT_EQ(form.control("standard").font, c.expected);
    EXPECT_EQ(form.control("own").font, kDesignFont);
  }
}

TEST_F(LoadLanStringTest, TheBoxChangesOnlyTheFormFontAndMeasuresTheTextInIt) {
  setHostStringTable({{1, "SimSun"}, {5, "9"}});
  testing::RecordingPresenter presenter;
  // 33 characters: one line at 8 pt (36 a line), two at 9 pt (32 a line, 216 twips high).
  ShowMessage(std::string(33, 'a'), 64, "Merovane");
  const MessageBoxView& v = presenter.views.at(0);
  EXPECT_EQ(v.font, (Font{"SimSun", 9}));
  EXPECT_EQ(v.command1.font, kDesignFont);
  EXPECT_EQ(v.command2.font, kDesignFont);
  EXPECT_EQ(v.label1.height, 2 * 216);
  EXPECT_EQ(v.formHeight, 240 + 432 + 200 + 285 + 500);
}

}  // namespace
}  // namespace solvard::ui
