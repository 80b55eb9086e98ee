#pragma once

#include <cstdint>
#include <string>

#include "ui/form.hpp"
#include "ui/presenter.hpp"

namespace solvard::ui {

// The library's own modal message box. Its layout is kept as a model, so that every build shows
// the same box and tests can read its numbers; a presenter puts it in front of the operator.
//
// The design (twips): a form 4800 wide; Image1 (the icon) at 240,240 and Image2 at 4080,240,
// both 480 × 480 (32 × 32 pixels); Label1 between them at 960,240, 2880 wide, as high as its text
// needs in the form's font (see label_measure.hpp); command1 "OK" and command2 "cancel", each
// 900 × 285, side by side at left 1500 and 2400, so that the pair is centred on the form.
class MessageBoxForm {
 public:
  static constexpr int32_t kFormWidth = 4800;
  static constexpr int32_t kDesignFormHeight = 1800;
  static constexpr int32_t kImageSize = 480;
  static constexpr int32_t kImage1Left = 240;
  static constexpr int32_t kImage2Left = 4080;
  static constexpr int32_t kImageTop = 240;
  static constexpr int32_t kLabelLeft = 960;
  static constexpr int32_t kLabelTop = 240;
  static constexpr int32_t kLabelWidth = 2880;
  static constexpr int32_t kButtonWidth = 900;
  static constexpr int32_t kButtonHeight = 285;
  static constexpr int32_t kCommand1Left = 1500;
  static constexpr int32_t kDesignButtonTop = 960;
  // Room between the text and the buttons, and below the buttons to the form's bottom edge.
  static constexpr int32_t kGapBelowLabel = 200;
  static constexpr int32_t kGapBelowButtons = 500;

  static constexpr int16_t kResultCommand1 = 6;
  static constexpr int16_t kResultCommand2 = 7;
  static constexpr int16_t kResultClosed = -1;

  bool isLoaded() const { return loaded_; }
  bool isShowing() const { return showing_; }

  // Puts every control back as designed, then gives the form the language module's font,
  // captions the buttons "OK" and "cancel" and sets ReturnVal to -1.
  void load();
  void unload() { loaded_ = false; }

  void setTitle(const std::string& title) { form_.caption = title; }
  // Label1 keeps its width and takes the height the text needs.
  void setText(const std::string& text);
  // The string-table number of the text, 0 when the caller gave its own text.
  void setMessageNumber(int32_t number) { messageNumber_ = number; }
  // Whether the style keeps "cancel" beside "OK".
  void setStyle(int32_t style);
  // Lays the box out each time it becomes the active window: a lone "OK" is centred, the buttons
  // sit 200 below the text, the form ends 500 below the buttons' top plus their height.
  void activate();
  // The operator's choice: a button sets ReturnVal (6 or 7) and unloads the form; closing the
  // form any other way unloads it with ReturnVal as it was. A hidden button cannot be chosen,
  // so choosing it counts as closing.
  void choose(Choice choice);

  // Activates the loaded form, hands it to the installed presenter and returns ReturnVal once
  // it is closed. A presenter that fails leaves the form unloaded, so the next showing starts
  // from the design again.
  int16_t showModal();

  MessageBoxView view() const;

  const Form& form() const { return form_; }
  Control& label1() { return form_.control("Label1"); }
  Control& command1() { return form_.control("command1"); }
  Control& command2() { return form_.control("command2"); }
  const Control& label1() const { return form_.control("Label1"); }
  const Control& command1() const { return form_.control("command1"); }
  const Control& command2() const { return form_.control("command2"); }

  // The result of the last showing; readable after the form has been unloaded.
  int16_t ReturnVal = kResultClosed;

 private:
  Form form_;
  bool loaded_ = false;
  bool showing_ = false;
  int32_t style_ = 0;
  int32_t messageNumber_ = 0;
};

// The error a showing raises while the box is already in front of the operator.
inline constexpr int32_t kFormAlreadyShownError = 400;

// Style codes that ask for the two buttons; every other code shows "OK" alone.
bool keepsBothButtons(int32_t style);

// The library's one message box, created on first use.
MessageBoxForm& frmMsgBox();

}  // namespace solvard::ui
