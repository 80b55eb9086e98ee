#include "ui/msgbox.hpp"

#include <algorithm>
#include <array>

#include "ui/label_measure.hpp"
#include "ui/text_measure.hpp"

namespace solvard::ui {

namespace {

Form designedForm() {
  using M = MessageBoxForm;
  Form form;
  form.name = "frmMsgBox";
  form.font = kDesignFont;
  form.width = M::kFormWidth;
  form.height = M::kDesignFormHeight;
  form.controls = {
      {"Image1", ControlKind::Image, M::kImage1Left, M::kImageTop, M::kImageSize, M::kImageSize,
       true, "", std::nullopt},
      {"Image2", ControlKind::Image, M::kImage2Left, M::kImageTop, M::kImageSize, M::kImageSize,
       true, "", std::nullopt},
      {"Label1", ControlKind::Label, M::kLabelLeft, M::kLabelTop, M::kLabelWidth,
       lineHeightTwips(kDesignFont.size), true, "", std::nullopt},
      {"command1", ControlKind::OwnButton, M::kCommand1Left, M::kDesignButtonTop, M::kButtonWidth,
       M::kButtonHeight, true, "", kDesignFont},
      {"command2", ControlKind::OwnButton, M::kCommand1Left + M::kButtonWidth, M::kDesignButtonTop,
       M::kButtonWidth, M::kButtonHeight, true, "", kDesignFont},
  };
  return form;
}

ControlView viewOf(const Control& control, const Font& formFont) {
  return {control.left,
          control.top,
          control.width,
          control.height,
          control.visible,
          control.caption,
          control.font.value_or(formFont)};
}

}  // namespace

bool keepsBothButtons(int32_t style) {
  constexpr std::array kTwoButtonStyles{1, 4, 36, 49, 52, 65, 68};
  return std::find(kTwoButtonStyles.begin(), kTwoButtonStyles.end(), style) !=
         kTwoButtonStyles.end();
}

void MessageBoxForm::load() {
  form_ = designedForm();
  style_ = 0;
  loaded_ = true;
  ApplyLanFont(form_);
  command1().caption = "OK";
  command2().caption = "cancel";
  ReturnVal = kResultClosed;
}

void MessageBoxForm::setText(const std::string& text) {
  Control& label = label1();
  label.caption = text;
  label.height = labelHeightInFont(text, label.width, form_.font);
}

void MessageBoxForm::setStyle(int32_t style) {
  style_ = style;
  command2().visible = keepsBothButtons(style);
}

void MessageBoxForm::activate() {
  Control& ok = command1();
  Control& cancel = command2();
  const Control& label = label1();
  if (!cancel.visible) {
    ok.left = (form_.width - ok.width) / 2;
  }
  ok.top = label.top + label.height + kGapBelowLabel;
  cancel.top = ok.top;
  form_.height = ok.top + ok.height + kGapBelowButtons;
}

void MessageBoxForm::choose(Choice choice) {
  if (choice == Choice::Command1 && command1().visible) {
    ReturnVal = kResultCommand1;
  } else if (choice == Choice::Command2 && command2().visible) {
    ReturnVal = kResultCommand2;
  }
  unload();
}

int16_t MessageBoxForm::showModal() {
  showing_ = true;
  Choice choice = Choice::Closed;
  try {
    activate();
    choice = present(view());
  } catch (...) {
    showing_ = false;
    unload();
    throw;
  }
  showing_ = false;
  choose(choice);
  return ReturnVal;
}

MessageBoxView MessageBoxForm::view() const {
  MessageBoxView v;
  v.title = form_.caption;
  v.text = label1().caption;
  v.style = style_;
  v.number = messageNumber_;
  v.font = form_.font;
  v.formWidth = form_.width;
  v.formHeight = form_.height;
  v.label1 = viewOf(label1(), form_.font);
  v.command1 = viewOf(command1(), form_.font);
  v.command2 = viewOf(command2(), form_.font);
  v.image1 = viewOf(form_.control("Image1"), form_.font);
  v.image2 = viewOf(form_.control("Image2"), form_.font);
  return v;
}

MessageBoxForm& frmMsgBox() {
  static MessageBoxForm form;
  return form;
}

}  // namespace solvard::ui
