#include "windows/msgbox_window.hpp"

#include <windows.h>

#include <cmath>
#include <mutex>
#include <string>

#include "ui/text_measure.hpp"
#include "windows/wide_text.hpp"

namespace solvard::windows {

namespace {

constexpr wchar_t kClassName[] = L"SolvardMessageBox";
constexpr int kTwipsPerInch = 1440;
constexpr int kPointsPerInch = 72;

// The module holding this code (Solvard.dll, or a program linking it), whose resources hold the
// icon and under which the window class is registered.
HINSTANCE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

// A service's window station shows nothing to anyone: no window is made there.
bool desktopIsInteractive() {
  HWINSTA station = GetProcessWindowStation();
  if (station == nullptr) return false;
  USEROBJECTFLAGS flags{};
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

struct ScreenScale {
  int dpiX = 96;
  int dpiY = 96;
  int x(int32_t twips) const { return MulDiv(twips, dpiX, kTwipsPerInch); }
  int y(int32_t twips) const { return MulDiv(twips, dpiY, kTwipsPerInch); }
};

ScreenScale screenScale() {
  ScreenScale scale;
  if (HDC screen = GetDC(nullptr)) {
    const int x = GetDeviceCaps(screen, LOGPIXELSX);
    const int y = GetDeviceCaps(screen, LOGPIXELSY);
    if (x > 0) scale.dpiX = x;
    if (y > 0) scale.dpiY = y;
    ReleaseDC(nullptr, screen);
  }
  return scale;
}

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Whether the system has a font of that name; the language module may name one it lacks.
bool fontInstalled(const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, face.size());
  bool found = false;
  if (HDC screen = GetDC(nullptr)) {
    EnumFontFamiliesExW(screen, &wanted, noteFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
  }
  return found;
}

// A font the system lacks is skipped: the text keeps the design's face, in the size asked for.
HFONT makeFont(const ui::Font& font, const ScreenScale& scale) {
  std::wstring face = utf16FromUtf8(font.name);
  if (!fontInstalled(face)) face = utf16FromUtf8(ui::kDesignFont.name);
  const int height = -static_cast<int>(std::lround(font.size * scale.dpiY / kPointsPerInch));
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

// What one showing owns; released when the showing ends, however it ends.
struct Showing {
  ui::Choice choice = ui::Choice::Closed;
  bool done = false;
  HFONT formFont = nullptr;
  HFONT command1Font = nullptr;
  HFONT command2Font = nullptr;
  HICON icon = nullptr;

  ~Showing() {
    for (HFONT font : {formFont, command1Font, command2Font}) {
      if (font != nullptr) DeleteObject(font);
    }
    if (icon != nullptr) DestroyIcon(icon);
  }
};

LRESULT CALLBACK boxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* showing = reinterpret_cast<Showing*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_COMMAND:
      if (showing == nullptr) break;
      switch (LOWORD(wParam)) {
        case kCommand1Id:
        case IDOK:  // Return, with the focus away from a button: the default button, "OK".
          showing->choice = ui::Choice::Command1;
          break;
        case kCommand2Id: showing->choice = ui::Choice::Command2; break;
        case IDCANCEL:  // Escape: the box is closed, not answered.
          showing->choice = ui::Choice::Closed;
          break;
        default: return 0;
      }
      DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      if (showing != nullptr) showing->choice = ui::Choice::Closed;
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (showing != nullptr) showing->done = true;
      return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool registerClass(HINSTANCE module) {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [module] {
    // The system keeps a library's classes after the library is unloaded: one left by an
    // earlier load at this address would still point at that load's code.
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(module, kClassName, &existing) && existing.lpfnWndProc != boxProcedure) {
      UnregisterClassW(kClassName, module);
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = boxProcedure;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    // A class that is there already is used only if it runs this code.
    registered = RegisterClassExW(&wc) != 0 || (GetClassInfoExW(module, kClassName, &existing) &&
                                                existing.lpfnWndProc == boxProcedure);
  });
  return registered;
}

HWND makeControl(HWND parent, HINSTANCE module, const wchar_t* kind, const ui::ControlView& view,
                 DWORD style, int id, const ScreenScale& scale) {
  const std::wstring caption = utf16FromUtf8(view.caption);
  return CreateWindowExW(0, kind, caption.c_str(),
                         WS_CHILD | (view.visible ? WS_VISIBLE : 0) | style, scale.x(view.left),
                         scale.y(view.top), scale.x(view.width), scale.y(view.height), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
}

void setFont(HWND control, HFONT font) {
  if (control != nullptr && font != nullptr) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

// Builds the controls where the model put them. False when the window cannot hold them.
bool buildControls(HWND box, HINSTANCE module, const ui::MessageBoxView& view, Showing& showing,
                   const ScreenScale& scale) {
  showing.formFont = makeFont(view.font, scale);
  showing.command1Font = makeFont(view.command1.font, scale);
  showing.command2Font = makeFont(view.command2.font, scale);

  HWND label =
      makeControl(box, module, L"STATIC", view.label1, SS_LEFT | SS_NOPREFIX, kLabelId, scale);
  HWND ok = makeControl(box, module, L"BUTTON", view.command1,
                        BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, kCommand1Id, scale);
  HWND cancel = makeControl(box, module, L"BUTTON", view.command2, BS_PUSHBUTTON | WS_TABSTOP,
                            kCommand2Id, scale);
  HWND image1 =
      makeControl(box, module, L"STATIC", view.image1, SS_ICON | SS_CENTERIMAGE, kImage1Id, scale);
  makeControl(box, module, L"STATIC", view.image2, SS_ICON | SS_CENTERIMAGE, kImage2Id, scale);
  if (label == nullptr || ok == nullptr || cancel == nullptr) return false;

  setFont(box, showing.formFont);
  setFont(label, showing.formFont);
  setFont(ok, showing.command1Font);
  setFont(cancel, showing.command2Font);
  // A module without its icon still shows the box, with Image1 empty.
  showing.icon = static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(kBoxIconId), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  if (image1 != nullptr && showing.icon != nullptr) {
    SendMessageW(image1, STM_SETICON, reinterpret_cast<WPARAM>(showing.icon), 0);
  }
  SetFocus(ok);
  return true;
}

}  // namespace

std::optional<ui::Choice> showMessageWindow(const ui::MessageBoxView& view) {
  if (!desktopIsInteractive()) return std::nullopt;
  HINSTANCE module = thisModule();
  if (module == nullptr || !registerClass(module)) return std::nullopt;

  const ScreenScale scale = screenScale();
  // The form's width and height are its outer size, title bar and borders included.
  const int width = scale.x(view.formWidth);
  const int height = scale.y(view.formHeight);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

  HWND owner = GetActiveWindow();
  Showing showing;
  const std::wstring title = utf16FromUtf8(view.title);
  HWND box = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, title.c_str(),
                             WS_POPUP | WS_CAPTION | WS_SYSMENU, left, top, width, height, owner,
                             nullptr, module, &showing);
  if (box == nullptr) return std::nullopt;
  if (!buildControls(box, module, view, showing, scale)) {
    DestroyWindow(box);
    return std::nullopt;
  }

  // Modal to the host's window: it takes no input while the box is up, but keeps running.
  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(box, SW_SHOWNORMAL);
  UpdateWindow(box);
  SetFocus(GetDlgItem(box, kCommand1Id));

  MSG message;
  while (!showing.done) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The host is quitting: close the box and leave the quit for the host's own loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      showing.choice = ui::Choice::Closed;
      DestroyWindow(box);
      break;
    }
    if (got == -1) {
      DestroyWindow(box);
      break;
    }
    if (IsDialogMessageW(box, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (ownerWasEnabled) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  return showing.choice;
}

ui::Choice presentInWindow(const ui::MessageBoxView& view) {
  const ui::Choice lineAnswer = ui::presentOnStandardError(view);
  const std::optional<ui::Choice> choice = showMessageWindow(view);
  return choice ? *choice : lineAnswer;
}

std::optional<int32_t> measureLabelTwips(std::string_view text, int32_t widthTwips,
                                         const ui::Font& font) {
  if (widthTwips <= 0 || !desktopIsInteractive()) return std::nullopt;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return std::nullopt;
  const ScreenScale scale = screenScale();
  std::optional<int32_t> height;
  if (HFONT hfont = makeFont(font, scale)) {
    HGDIOBJ previous = SelectObject(screen, hfont);
    // The flags a left-aligned static control draws its text with, so the label gets the
    // height the window will need for it.
    const std::wstring wide = utf16FromUtf8(text);
    RECT room{0, 0, scale.x(widthTwips), 0};
    const int pixels = DrawTextW(screen, wide.c_str(), static_cast<int>(wide.size()), &room,
                                 DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    if (pixels > 0 && room.bottom > room.top)
      height = MulDiv(room.bottom - room.top, kTwipsPerInch, scale.dpiY);
    SelectObject(screen, previous);
    DeleteObject(hfont);
  }
  ReleaseDC(nullptr, screen);
  return height;
}

void installWindowPresenter() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::setPresenter(presentInWindow);
    ui::setTextMeasure(measureLabelTwips);
  });
}

}  // namespace solvard::windows
