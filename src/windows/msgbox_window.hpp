#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ui/form.hpp"
#include "ui/presenter.hpp"

namespace solvard::windows {

// Control identifiers of the box's window, for hosts and tests that read it.
inline constexpr int kLabelId = 100;
inline constexpr int kCommand1Id = 101;
inline constexpr int kCommand2Id = 102;
inline constexpr int kImage1Id = 103;
inline constexpr int kImage2Id = 104;
// The icon resource of the library's module that Image1 shows.
inline constexpr int kBoxIconId = 1;

// Shows the laid-out box as a modal window on the calling thread and returns the operator's
// choice: a button, or Closed for any other way out (the close box, Alt+F4, Escape, WM_QUIT).
// While it is up, the window's own loop dispatches every message of the thread, so the host's
// windows and timers keep running; the host's active window is disabled meanwhile. None when no
// window can be made here (no interactive desktop, no display), at once.
std::optional<ui::Choice> showMessageWindow(const ui::MessageBoxView& view);

// The presenter of Solvard.dll: the message's line on standard error, as every build writes it,
// then the window. Where no window can be shown the line alone was the showing, answered as the
// line presenter answers. Installed once, when the first object is made.
ui::Choice presentInWindow(const ui::MessageBoxView& view);
// The height Label1 needs for the text in the box's font, as DrawText wraps it on this screen;
// none where there is no screen to measure on. Installed with the presenter, so the box's model
// lays the buttons out below the text as the window will draw it.
std::optional<int32_t> measureLabelTwips(std::string_view text, int32_t widthTwips,
                                         const ui::Font& font);
void installWindowPresenter();

}  // namespace solvard::windows
