#include "support/driver_path.hpp"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <string_view>
#include <vector>

namespace solvard::testing {

#ifndef _WIN32

std::string driverPath(const std::filesystem::path& path) { return path.string(); }

bool underWine() { return false; }

#else

namespace {

std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Wine's own export: the Unix name of a Windows path, allocated on the process heap.
using UnixNameFn = char*(__cdecl*)(const wchar_t*);

UnixNameFn unixNameFunction() {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return nullptr;
  return reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
}

}  // namespace

bool underWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string driverPath(const std::filesystem::path& path) {
  const UnixNameFn unixName = unixNameFunction();
  if (unixName == nullptr) return utf8(path);
  // Wine names only paths whose folders exist: the rest of a path under a missing folder is
  // added to the Unix name of the part that exists.
  std::filesystem::path existing = std::filesystem::absolute(path);
  std::vector<std::filesystem::path> rest;  // the missing parts, last first
  while (true) {
    if (char* name = unixName(existing.wstring().c_str())) {
      std::string unix = name;
      HeapFree(GetProcessHeap(), 0, name);
      for (auto part = rest.rbegin(); part != rest.rend(); ++part) unix += "/" + utf8(*part);
      return unix;
    }
    if (!existing.has_relative_path()) return utf8(path);
    rest.push_back(existing.filename());
    existing = existing.parent_path();
  }
}

#endif

}  // namespace solvard::testing
