#include "automation/error.hpp"
#include "ui/messages.hpp"
#include "ui/msgbox.hpp"

namespace solvard::ui {

namespace {

// The box is modal and there is only one: while the operator has it in front of them (and the
// host's loop runs), another message cannot be shown in it.
automation::AutomationError alreadyShown() {
  return {kFormAlreadyShownError, "Form already displayed; can't show modally"};
}

// `number` is the string-table number the text came from, 0 for a text of the caller's own; the
// presenter gets it so that a host can tell the messages apart whatever the language.
int16_t showNumbered(int32_t number, const std::string& text, int32_t style,
                     const std::string& title) {
  MessageBoxForm& box = frmMsgBox();
  if (box.isShowing()) {
    throw alreadyShown();
  }
  if (!box.isLoaded()) {
    box.load();
  }
  box.setTitle(title);
  box.setText(text);
  box.setStyle(style);
  box.setMessageNumber(number);
  return box.showModal();
}

}  // namespace

int16_t ShowMessage(const std::string& text, int32_t style, const std::string& title) {
  return showNumbered(0, text, style, title);
}

void ReportMessage(int32_t number) {
  showNumbered(number, LoadLanString(number), kInformationStyle, kMessageTitle);
}

}  // namespace solvard::ui
