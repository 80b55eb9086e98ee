#pragma once

#include <windows.h>

#include <string>
#include <thread>

// Reads the message box's window from another thread of the host while the box is modal, the way
// an accessibility tool would: its title, Label1's text, and where each control sits.
namespace solvard::test {

// Waits (at most `waitMs`) for a box titled `title`, then prints on standard output one line a
// control, "<name> <left> <top> <width> <height> <visible>" in client pixels, the buttons'
// captions, the fonts of Label1 and "OK", then "label <text>" (UTF-8). Prints "no window" when
// none came.
std::thread watchBox(std::wstring title, DWORD waitMs);

}  // namespace solvard::test
