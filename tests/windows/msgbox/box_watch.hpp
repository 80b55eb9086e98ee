#pragma once

#include <windows.h>

#include <string>
#include <thread>

// Reads the message box's window from another thread of the host while the box is modal, the way
// an accessibility tool would: its title, Label1's text, and where each control sits.
namespace solvard::test {

// Waits (at most `waitMs`) for a box titled `title`, then prints on standard output the layout's
// rules as this box keeps them, in words no machine's fonts change: "form <width>
// command1+<px>" (the outer height over command1's top), "label1 <left> <top> <width> <1 line|
// 2 lines|3+ lines> <visible>" (or "not whole lines ..."), "command1 <left> label1+<px> <width>
// <height> <visible>" (its top below Label1's bottom), the same for command2, then the images as
// "<name> <left> <top> <width> <height> <visible>", the buttons' captions, the fonts of Label1
// and "OK", and "label <text>" (UTF-8). The pixels themselves go to standard error, for the
// log. Prints "no window" when none came.
std::thread watchBox(std::wstring title, DWORD waitMs);

}  // namespace solvard::test
