// A host program for the message box window and the language modules, run under Wine by
// scripts/windows-test.sh:
//   msgbox_host show <style> short|long <title>   shows the box, prints what it shows and
//                                                  "result <n>" once the operator answered
//   msgbox_host lang <module.dll>                 selects the module through Solvard.dll's
//                                                  GetLanRes, fails GetOriginalCardNo on COM7 (the
//                                                  port cannot be opened), prints the box and
//                                                  "done"
// The script drives the operator's part (keys) and keeps a screenshot of each box.

#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "box_watch.hpp"
#include "component/identifiers.hpp"
#include "dispatch_client.hpp"
#include "solvard_dll.hpp"
#include "ui/messages.hpp"
#include "windows/msgbox_window.hpp"
#include "windows/wide_text.hpp"

namespace {

constexpr DWORD kWatchMs = 20000;

const char kShortText[] = "The terminal has no stored records to download.";
// Long enough to wrap onto several lines of Label1 and push the buttons down.
const char kLongText[] =
    "The terminal did not answer as expected: another terminal replied, or no reply came after "
    "the download request. Check the machine number, that no two terminals share it, and the "
    "cable.";

int show(int style, const std::string& kind, const std::string& title) {
  solvard::windows::installWindowPresenter();
  std::thread watcher = solvard::test::watchBox(solvard::windows::utf16FromUtf8(title), kWatchMs);
  const int16_t result =
      solvard::ui::ShowMessage(kind == "long" ? kLongText : kShortText, style, title);
  watcher.join();
  std::printf("result %d\n", result);
  return 0;
}

int lang(const std::wstring& file) {
  using namespace solvard::test;
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    std::printf("cannot load the module (%lu)\n", GetLastError());
    return 1;
  }
  const auto handle = reinterpret_cast<uintptr_t>(module);
  std::printf("handle fits %d\n", handle <= 0xFFFFFFFFu ? 1 : 0);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = 1;
  {
    SolvardDll dll;
    IDispatch* object = nullptr;
    if (dll.loaded() &&
        SUCCEEDED(
            dll.create(guidFromText(std::string(solvard::component::ids::kAttendClass).c_str()),
                       IID_IDispatch, reinterpret_cast<void**>(&object)))) {
      CallOutcome set;
      const HRESULT selected =
          put(object, L"GetLanRes", i4(static_cast<long>(static_cast<uint32_t>(handle))), &set);
      put(object, L"CommPortID", i2(7));
      std::fflush(stdout);
      std::thread watcher = watchBox(L"Merovane", kWatchMs);
      CallOutcome read;
      method(object, L"GetOriginalCardNo", {i2(1)}, read);
      watcher.join();
      std::printf("GetLanRes 0x%08lx\nGetOriginalCardNo 0x%08lx\ndone\n",
                  static_cast<unsigned long>(selected), static_cast<unsigned long>(read.hr));
      object->Release();
      status = 0;
    } else {
      std::printf("no Attend object\n");
    }
  }
  CoUninitialize();
  FreeLibrary(module);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"show" && argc == 5) {
    return show(_wtoi(argv[2]), solvard::windows::utf8FromUtf16(argv[3]),
                solvard::windows::utf8FromUtf16(argv[4]));
  }
  if (mode == L"lang" && argc == 3) return lang(argv[2]);
  std::fprintf(stderr, "usage: msgbox_host show <style> short|long <title> | lang <module.dll>\n");
  return 2;
}
