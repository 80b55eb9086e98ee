#include "box_watch.hpp"

#include <cstdio>
#include <string>

#include "windows/msgbox_window.hpp"
#include "windows/wide_text.hpp"

namespace solvard::test {

namespace {

RECT clientRect(HWND box, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// "<name> <left> <top> <width> <height> <visible>" in client pixels, exactly: controls whose
// place does not hang on the text.
std::string controlLine(HWND box, const char* name, int id) {
  HWND control = GetDlgItem(box, id);
  if (control == nullptr) return std::string(name) + " missing\n";
  const RECT r = clientRect(box, control);
  char line[160];
  std::snprintf(line, sizeof line, "%s %ld %ld %ld %ld %d\n", name, r.left, r.top, r.right - r.left,
                r.bottom - r.top, IsWindowVisible(control) ? 1 : 0);
  return line;
}

// The height of one line of the control's font, as a static control steps from line to line.
int lineHeight(HWND control) {
  HDC dc = GetDC(control);
  if (dc == nullptr) return 0;
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  const BOOL got = GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return got ? metrics.tmHeight : 0;
}

// Label1 takes the height its text needs: whole lines of its font. Which font a face name
// finds, and so how many pixels a line is and where the text wraps, is the machine's; the rule
// is not. The count is given as 1, 2 or "3+" (the wrap points of a long text are the font's).
std::string labelLine(HWND box, int id, std::string& raw) {
  HWND control = GetDlgItem(box, id);
  if (control == nullptr) return "label1 missing\n";
  const RECT r = clientRect(box, control);
  const long height = r.bottom - r.top;
  const int step = lineHeight(control);
  char line[200];
  std::snprintf(line, sizeof line, "raw label1 %ld %ld %ld %ld, line height %d\n", r.left, r.top,
                r.right - r.left, height, step);
  raw += line;
  std::string lines;
  if (step <= 0) {
    lines = "no line height";
  } else if (height <= 0 || height % step != 0) {
    lines = "not whole lines (" + std::to_string(height) + " px in lines of " +
            std::to_string(step) + ")";
  } else {
    const long count = height / step;
    lines = count >= 3 ? "3+ lines" : count == 1 ? "1 line" : "2 lines";
  }
  std::snprintf(line, sizeof line, "label1 %ld %ld %ld %s %d\n", r.left, r.top, r.right - r.left,
                lines.c_str(), IsWindowVisible(control) ? 1 : 0);
  return line;
}

// A button below the label: its top as the distance from Label1's bottom (200 twips, 13 px at
// 96 dpi), the rest exactly.
std::string buttonLine(HWND box, const char* name, int id, std::string& raw) {
  HWND control = GetDlgItem(box, id);
  HWND label = GetDlgItem(box, windows::kLabelId);
  if (control == nullptr || label == nullptr) return std::string(name) + " missing\n";
  const RECT r = clientRect(box, control);
  const RECT l = clientRect(box, label);
  char line[160];
  std::snprintf(line, sizeof line, "raw %s %ld %ld %ld %ld\n", name, r.left, r.top,
                r.right - r.left, r.bottom - r.top);
  raw += line;
  std::snprintf(line, sizeof line, "%s %ld label1+%ld %ld %ld %d\n", name, r.left, r.top - l.bottom,
                r.right - r.left, r.bottom - r.top, IsWindowVisible(control) ? 1 : 0);
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
      // The form's outer height (title bar and borders included) is the buttons' top + their
      // height + 500 twips: 53 px at 96 dpi above command1's top, in client pixels, whatever
      // the title bar's height.
      RECT outer{};
      GetWindowRect(box, &outer);
      std::string raw;
      char line[96];
      std::snprintf(line, sizeof line, "raw form %ld %ld\n", outer.right - outer.left,
                    outer.bottom - outer.top);
      raw += line;
      const RECT ok = GetDlgItem(box, windows::kCommand1Id) != nullptr
                          ? clientRect(box, GetDlgItem(box, windows::kCommand1Id))
                          : RECT{};
      std::snprintf(line, sizeof line, "form %ld command1+%ld\n", outer.right - outer.left,
                    outer.bottom - outer.top - ok.top);
      out += line;
      out += labelLine(box, windows::kLabelId, raw);
      out += buttonLine(box, "command1", windows::kCommand1Id, raw);
      out += buttonLine(box, "command2", windows::kCommand2Id, raw);
      out += controlLine(box, "image1", windows::kImage1Id);
      out += controlLine(box, "image2", windows::kImage2Id);
      out += "caption1 " + windowText(GetDlgItem(box, windows::kCommand1Id)) + "\n";
      out += "caption2 " + windowText(GetDlgItem(box, windows::kCommand2Id)) + "\n";
      out += fontLine("font1", GetDlgItem(box, windows::kLabelId));
      out += fontLine("font2", GetDlgItem(box, windows::kCommand1Id));
      out += "label " + windowText(GetDlgItem(box, windows::kLabelId)) + "\n";
      // This machine's pixels, for the log: standard error is not compared.
      std::fwrite(raw.data(), 1, raw.size(), stderr);
      std::fflush(stderr);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
  });
}

}  // namespace solvard::test
