#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "ui/form.hpp"

namespace solvard::ui {

// One control of the message box as the operator is to see it (twips).
struct ControlView {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool visible = true;
  std::string caption;
  Font font;
};

// The message box, laid out and ready to be shown.
struct MessageBoxView {
  std::string title;
  std::string text;
  int32_t style = 0;
  // The string-table number the text was looked up by; 0 for a text the caller gave.
  int32_t number = 0;
  Font font;
  int32_t formWidth = 0;
  int32_t formHeight = 0;
  ControlView label1;
  ControlView command1;
  ControlView command2;
  ControlView image1;
  ControlView image2;
};

// What the operator did with the box.
enum class Choice { Command1, Command2, Closed };

// Shows the box to the operator and returns once it is gone. It runs on the host's calling
// thread; it may throw, and the failure reaches whoever showed the message.
using Presenter = std::function<Choice(const MessageBoxView&)>;

// Installs the presenter every message goes through and returns the one it replaces. An empty
// presenter puts the default back.
Presenter setPresenter(Presenter presenter);

// The presenter a host gets until it installs its own: one line on standard error,
// "<title>: <text>", answered as the first button.
Choice presentOnStandardError(const MessageBoxView& view);

// The same line on any stream; line breaks of the text become spaces so the message stays on
// one line.
Choice presentAsLine(std::ostream& out, const MessageBoxView& view);

// Shows `view` through the installed presenter.
Choice present(const MessageBoxView& view);

// Installs a presenter for as long as it lives, then puts the previous one back.
class ScopedPresenter {
 public:
  explicit ScopedPresenter(Presenter presenter) : previous_(setPresenter(std::move(presenter))) {}
  ~ScopedPresenter() { setPresenter(std::move(previous_)); }
  ScopedPresenter(const ScopedPresenter&) = delete;
  ScopedPresenter& operator=(const ScopedPresenter&) = delete;

 private:
  Presenter previous_;
};

}  // namespace solvard::ui
