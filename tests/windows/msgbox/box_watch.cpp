#include "box_watch.hpp"

#include <cstdio>
#include <string>

#include "windows/msgbox_window.hpp"
#include "windows/wide_text.hpp"

namespace solvard::test {

namespace {

std::string controlLine(HWND box, const char* name, int id) {
  HWND control = GetDlgItem(box, id);
  if (control == nullptr) return std::string(name) + " missing\n";
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
  char line[160];
  std::snprintf(line, sizeof line, "%s %ld %ld %ld %ld %d\n", name, r.left, r.top, r.right - r.left,
                r.bottom - r.top, IsWindowVisible(control) ? 1 : 0);
  return line;
}

// The face and height (pixels, negative for the character height) of the control's font.
std::string fontLine(const char* name, HWND control) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW info{};
  if (font == nullptr || GetObjectW(font, sizeof info, &info) != sizeof info) {
    return std::string(name) + " no font\n";
  }
  info.lfFaceName[LF_FACESIZE - 1] = L'\0';
  return std::string(name) + " " + windows::utf8FromUtf16(info.lfFaceName) + " " +
         std::to_string(info.lfHeight) + "\n";
}

std::string windowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return windows::utf8FromUtf16(text);
}

}  // namespace

std::thread watchBox(std::wstring title, DWORD waitMs) {
  return std::thread([title = std::move(title), waitMs] {
    HWND box = nullptr;
    for (DWORD waited = 0; box == nullptr && waited < waitMs; waited += 50) {
      box = FindWindowW(L"SolvardMessageBox", title.c_str());
      if (box == nullptr) Sleep(50);
    }
    std::string out;
    if (box == nullptr) {
      out = "no window\n";
    } else {
      // The controls are made before the window is shown; wait until it is, so all are there.
      for (int i = 0; i < 100 && !IsWindowVisible(box); ++i) Sleep(50);
      RECT outer{};
      GetWindowRect(box, &outer);
      char line[96];
      std::snprintf(line, sizeof line, "form %ld %ld\n", outer.right - outer.left,
                    outer.bottom - outer.top);
      out += line;
      out += controlLine(box, "label1", windows::kLabelId);
      out += controlLine(box, "command1", windows::kCommand1Id);
      out += controlLine(box, "command2", windows::kCommand2Id);
      out += controlLine(box, "image1", windows::kImage1Id);
      out += controlLine(box, "image2", windows::kImage2Id);
      out += "caption1 " + windowText(GetDlgItem(box, windows::kCommand1Id)) + "\n";
      out += "caption2 " + windowText(GetDlgItem(box, windows::kCommand2Id)) + "\n";
      out += fontLine("font1", GetDlgItem(box, windows::kLabelId));
      out += fontLine("font2", GetDlgItem(box, windows::kCommand1Id));
      out += "label " + windowText(GetDlgItem(box, windows::kLabelId)) + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  });
}

}  // namespace solvard::test
