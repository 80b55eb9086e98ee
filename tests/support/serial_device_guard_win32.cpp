// The Windows form of serial_device_guard.cpp, linked into every test program of the Windows
// build. A program there is linked statically, so every call of the library (and of the C
// run-time's file opens) reaches CreateFileA/CreateFileW through an import table: the guard puts
// itself into those tables when the program starts. An open of a comm port by name (COM3,
// \\.\COM12) is refused (ERROR_ACCESS_DENIED) and fails the test, before a byte can go out on a
// wired line. Wine maps COMn to /dev/ttyS(n-1) or a USB adapter it finds unless told otherwise,
// so a test under Wine would otherwise reach the machine's real ports.
//
// The one exception: under Wine, a port the prefix's registry maps (HKLM\Software\Wine\Ports)
// to a path that names no serial device, as a test runner maps ports to pseudo-terminals or to
// nothing. A link to a real device given there is not followed (a Windows program cannot read
// Unix links): the runner that writes the mapping answers for it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>
#include <optional>
#include <string>

#include "support/driver_path.hpp"
#include "support/serial_device_names.hpp"

namespace solvard::testing {
namespace {

using CreateFileWFn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);
using CreateFileAFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);

CreateFileWFn realCreateFileW = nullptr;
CreateFileAFn realCreateFileA = nullptr;

std::string utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  narrow.pop_back();
  return narrow;
}

// "COM7" out of "\\.\COM7", "com7:" or "COM7"; empty when the name is no comm port's.
std::wstring portName(const std::string& name) {
  std::string rest = name;
  for (const char* prefix : {R"(\\.\)", R"(\\?\)", "//./", "//?/"}) {
    if (rest.rfind(prefix, 0) == 0) rest = rest.substr(std::strlen(prefix));
  }
  if (!rest.empty() && rest.back() == ':') rest.pop_back();
  std::wstring port;
  for (char c : rest) port += static_cast<wchar_t>(std::towupper(static_cast<unsigned char>(c)));
  return port;
}

// The Unix path Wine's registry maps the port to, if it maps it.
std::optional<std::string> wineMapping(const std::wstring& port) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Wine\\Ports", port.c_str(), RRF_RT_REG_SZ,
                   nullptr, value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return utf8(value);
}

thread_local bool guarding = false;

// Whether the open of `name` must be refused; records the test's failure when it must.
bool refuses(const std::string& name) {
  if (guarding || !isSerialDeviceName(name)) return false;
  guarding = true;
  bool refused = true;
  if (underWine()) {
    const auto mapped = wineMapping(portName(name));
    refused = !mapped || mapped->empty() || isSerialDeviceName(*mapped);
  }
  if (refused) {
    ADD_FAILURE() << "a test opened the real serial device " << name
                  << "; tests use the scripted port, or under Wine a port the prefix maps to a "
                     "pseudo-terminal";
  }
  guarding = false;
  return refused;
}

HANDLE WINAPI guardedCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE templateFile) {
  if (name != nullptr && refuses(utf8(name))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return realCreateFileW(name, access, share, security, disposition, flags, templateFile);
}

HANDLE WINAPI guardedCreateFileA(LPCSTR name, DWORD access, DWORD share,
                                 LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                 HANDLE templateFile) {
  if (name != nullptr && refuses(name)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return realCreateFileA(name, access, share, security, disposition, flags, templateFile);
}

// Points every import of `function` in `module`'s import table at `replacement`.
int redirectImport(HMODULE module, const char* function, void* replacement) {
  if (module == nullptr) return 0;
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return 0;
  int redirected = 0;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    if (library->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                          &protection)) {
        continue;
      }
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      ++redirected;
    }
  }
  return redirected;
}

bool install() {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  realCreateFileW = reinterpret_cast<CreateFileWFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateFileW")));
  realCreateFileA = reinterpret_cast<CreateFileAFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateFileA")));
  if (realCreateFileW == nullptr || realCreateFileA == nullptr) return false;
  // The program itself (the library's ports), and the C run-time's opens (fopen, streams).
  int redirected = 0;
  for (const HMODULE module : {GetModuleHandleW(nullptr), GetModuleHandleW(L"msvcrt.dll"),
                               GetModuleHandleW(L"ucrtbase.dll")}) {
    redirected +=
        redirectImport(module, "CreateFileW", reinterpret_cast<void*>(&guardedCreateFileW));
    redirected +=
        redirectImport(module, "CreateFileA", reinterpret_cast<void*>(&guardedCreateFileA));
  }
  return redirected > 0;
}

}  // namespace

// Installed before main runs; the guard's own test checks that it took.
extern const bool serialDeviceGuardInstalled = install();

}  // namespace solvard::testing
