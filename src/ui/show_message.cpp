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

}  // namespace

int16_t ShowMessage(const std::string& text, int32_t style, const std::string& title) {
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
  return box.showModal();
}

void ReportMessage(int32_t number) {
  ShowMessage(LoadLanString(number), kInformationStyle, kMessageTitle);
}

}  // namespace solvard::ui
