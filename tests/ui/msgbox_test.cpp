#include "ui/msgbox.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "automation/error.hpp"
#include "ui/messages.hpp"
#include "ui/text_measure.hpp"
#include "ui/ui_fixture.hpp"

namespace solvard::ui {
namespace {

using testing::RecordingPresenter;

// With the design font (8 pt) a line is 192 twips high and Label1 holds 36 characters a line.
constexpr int32_t kOneLine = 192;

struct StyleCase {
  int32_t style;
  bool twoButtons;
};

class MsgBoxStyles : public testing::UiTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(MsgBoxStyles, ButtonsFollowTheStyleCode) {
  RecordingPresenter presenter;
  ShowMessage("The serial port cannot be opened.", GetParam().style, "Merovane");
  const MessageBoxView& v = presenter.views.at(0);

  const int32_t buttonTop = 240 + kOneLine + 200;
  EXPECT_EQ(v.label1.height, kOneLine);
  EXPECT_EQ(v.command1.top, buttonTop);
  EXPECT_EQ(v.command2.top, buttonTop);
  EXPECT_EQ(v.formHeight, buttonTop + 285 + 500);
  EXPECT_EQ(v.command1.caption, "OK");
  EXPECT_EQ(v.command2.caption, "cancel");
  EXPECT_EQ(v.command2.visible, GetParam().twoButtons);
  // The pair is centred as designed; "OK" alone is centred by activation.
  EXPECT_EQ(v.command1.left, GetParam().twoButtons ? 1500 : (4800 - 900) / 2);
  EXPECT_EQ(v.command2.left, 1500 + 900);
}

// In this order every one-button showing is followed by a two-button one: each load starts from
// the design again, so "OK" is back beside "cancel".
INSTANTIATE_TEST_SUITE_P(AllCodes, MsgBoxStyles,
                         ::testing::Values(StyleCase{64, false}, StyleCase{1, true},
                                           StyleCase{0, false}, StyleCase{4, true},
                                           StyleCase{2, false}, StyleCase{36, true},
                                           StyleCase{49, true}, StyleCase{52, true},
                                           StyleCase{65, true}, StyleCase{69, false},
                                           StyleCase{68, true}, StyleCase{-1, false}));

struct ResultCase {
  int32_t style;
  Choice choice;
  int16_t result;
};

class MsgBoxResults : public testing::UiTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(MsgBoxResults, ChoiceGivesResult) {
  RecordingPresenter presenter(GetParam().choice);
  EXPECT_EQ(ShowMessage("text", GetParam().style, "Merovane"), GetParam().result);
  EXPECT_EQ(frmMsgBox().ReturnVal, GetParam().result);
  EXPECT_FALSE(frmMsgBox().isLoaded());
}

// A hidden "cancel" cannot be chosen: the operator can only close the box.
INSTANTIATE_TEST_SUITE_P(
    Choices, MsgBoxResults,
    ::testing::Values(ResultCase{1, Choice::Command1, 6}, ResultCase{1, Choice::Command2, 7},
                      ResultCase{1, Choice::Closed, -1}, ResultCase{4, Choice::Command2, 7},
                      ResultCase{64, Choice::Command1, 6}, ResultCase{64, Choice::Command2, -1}));

class MsgBox : public testing::UiTest {};

TEST_F(MsgBox, LongerTextMakesTheLabelTallerAndMovesWhatIsBelow) {
  // Twelve words of eight letters: four fit in 36 characters, so three lines.
  std::string longText;
  for (int i = 0; i < 12; ++i) longText += "terminal ";
  RecordingPresenter presenter;
  ShowMessage("short", 1, "Merovane");
  ShowMessage(longText, 1, "Merovane");
  const MessageBoxView& shortBox = presenter.views.at(0);
  const MessageBoxView& longBox = presenter.views.at(1);

  EXPECT_EQ(longBox.label1.height, 3 * kOneLine);
  EXPECT_EQ(longBox.command1.top, 240 + 3 * kOneLine + 200);
  EXPECT_EQ(longBox.command2.top, longBox.command1.top);
  EXPECT_EQ(longBox.formHeight, 240 + 3 * kOneLine + 200 + 285 + 500);
  EXPECT_EQ(longBox.formHeight - shortBox.formHeight, 2 * kOneLine);
}

// A platform that draws the box measures the text in the form's font; the buttons and the form
// follow its figure, and the fixed measure stands in where it gives none.
TEST_F(MsgBox, APlatformMeasureSetsTheLabelHeightAndTheFixedOneStandsInWhenItGivesNone) {
  struct Case {
    std::optional<int32_t> measured;
    int32_t labelHeight;
  };
  for (const Case& c : {Case{555, 555}, Case{std::nullopt, kOneLine}, Case{0, kOneLine}}) {
    std::string seenText;
    int32_t seenWidth = 0;
    Font seenFont;
    setTextMeasure([&](std::string_view text, int32_t width, const Font& font) {
      seenText = text;
      seenWidth = width;
      seenFont = font;
      return c.measured;
    });
    RecordingPresenter presenter;
    ShowMessage("short", 1, "Merovane");
    setTextMeasure({});
    const MessageBoxView& box = presenter.views.at(0);
    EXPECT_EQ(seenText, "short");
    EXPECT_EQ(seenWidth, 2880);
    EXPECT_EQ(seenFont, box.font);
    EXPECT_EQ(box.label1.height, c.labelHeight);
    EXPECT_EQ(box.command1.top, 240 + c.labelHeight + 200);
    EXPECT_EQ(box.formHeight, 240 + c.labelHeight + 200 + 285 + 500);
  }
}

TEST_F(MsgBox, ReturnValIsMinusOneAtEveryLoad) {
  std::vector<int16_t> seenWhileShown;
  ScopedPresenter watch([&](const MessageBoxView&) {
    seenWhileShown.push_back(frmMsgBox().ReturnVal);
    return Choice::Command2;
  });
  EXPECT_EQ(ShowMessage("a", 1, "t"), 7);
  EXPECT_EQ(ShowMessage("b", 1, "t"), 7);
  EXPECT_EQ(seenWhileShown, (std::vector<int16_t>{-1, -1}));
}

TEST_F(MsgBox, ReportMessageShowsTheTableTextWithStyle64AndTheTitle) {
  setHostStringTable({{msg::kPortCannotOpen, "Port cannot be opened."}});
  RecordingPresenter presenter;
  ReportMessage(msg::kPortCannotOpen);
  ReportMessage(msg::kBadEndMark);
  ASSERT_EQ(presenter.views.size(), 2u);
  EXPECT_EQ(presenter.views[0].text, "Port cannot be opened.");
  EXPECT_EQ(presenter.views[1].text, "");
  EXPECT_EQ(presenter.views[0].number, msg::kPortCannotOpen);
  EXPECT_EQ(presenter.views[1].number, msg::kBadEndMark);
  ShowMessage("own text", 64, "Merovane");
  EXPECT_EQ(presenter.views.back().number, 0) << "a caller's own text carries no number";
  for (const MessageBoxView& v : presenter.views) {
    EXPECT_EQ(v.title, "Merovane");
    EXPECT_EQ(v.style, 64);
  }
}

TEST_F(MsgBox, DefaultPresenterWritesOneLineToStandardError) {
  ScopedPresenter defaultOne(nullptr);
  std::ostringstream captured;
  std::streambuf* previous = std::cerr.rdbuf(captured.rdbuf());
  const int16_t result = ShowMessage("Port\r\ncannot\nbe\ropened.", 1, "Merovane");
  std::cerr.rdbuf(previous);
  EXPECT_EQ(result, 6);
  EXPECT_EQ(captured.str(), "Merovane: Port cannot be opened.\n");
}

TEST_F(MsgBox, PresenterFailureReachesTheCallerAndTheNextShowingStartsAfresh) {
  {
    ScopedPresenter failing(
        [](const MessageBoxView&) -> Choice { throw std::runtime_error("no display"); });
    EXPECT_THROW(ShowMessage("a", 64, "t"), std::runtime_error);
  }
  RecordingPresenter presenter(Choice::Command2);
  EXPECT_EQ(ShowMessage("b", 1, "t"), 7);
  EXPECT_EQ(presenter.views.at(0).command1.left, 1500);
}

TEST_F(MsgBox, AMessageWhileTheBoxIsShownIsRefused) {
  int32_t nestedError = 0;
  ScopedPresenter presenter([&](const MessageBoxView&) {
    try {
      ShowMessage("inner", 64, "t");
    } catch (const automation::AutomationError& e) {
      nestedError = e.number();
    }
    EXPECT_EQ(frmMsgBox().label1().caption, "outer");
    return Choice::Command1;
  });
  EXPECT_EQ(ShowMessage("outer", 64, "t"), 6);
  EXPECT_EQ(nestedError, 400);
}

}  // namespace
}  // namespace solvard::ui
