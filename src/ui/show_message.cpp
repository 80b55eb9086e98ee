#include <exception>
#include <string>

#include "automation/error.hpp"
#include "ui/host_reports.hpp"
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

void logNotShown(int32_t number, const std::exception_ptr& failure) {
  std::string why = "unknown failure";
  try {
    std::rethrow_exception(failure);
  } catch (const detail::Fault& fault) {
    const automation::AutomationError e = automation::asAutomationError(fault);
    why = "error " + std::to_string(e.number()) + ": " + e.description();
  } catch (const std::exception& e) {
    why = e.what();
  } catch (...) {
  }
  logLine("message " + std::to_string(number) + " could not be shown (" + why + ")");
}

int16_t ShowMessage(const std::string& text, int32_t style, const std::string& title) {
  return showNumbered(0, text, style, title);
}

void ReportMessage(int32_t number) {
  // The command that reports goes on whatever becomes of its message: a presenter that fails,
  // or a box already in front of the operator, costs the message, never the command's result.
  try {
    showNumbered(number, LoadLanString(number), kInformationStyle, kMessageTitle);
  } catch (...) {
    logNotShown(number, std::current_exception());
  }
}

}  // namespace solvard::ui
