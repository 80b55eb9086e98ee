#include "windows/lan_module.hpp"

#include <psapi.h>

#include <mutex>
#include <vector>

#include "ui/string_source.hpp"

namespace solvard::windows {

namespace {

// The buffer LoadStringA fills: 254 bytes of text and the terminating zero.
constexpr int kBufferBytes = 255;

// A handle from LoadLibraryEx has flag bits in its low two bits when the file was mapped as data
// or as an image resource; the image itself starts at the handle with those bits cleared.
uintptr_t imageBase(uintptr_t handle) { return handle & ~static_cast<uintptr_t>(3); }

// Whether readable memory at `base` starts with a module image's "MZ" header. The value came from
// the host, so it is checked before anything reads there.
bool holdsImage(uintptr_t base) {
  if (base == 0) return false;
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<const void*>(base), &info, sizeof info) != sizeof info) {
    return false;
  }
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                         PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (info.State != MEM_COMMIT || (info.Protect & readable) == 0 || (info.Protect & PAGE_GUARD)) {
    return false;
  }
  const auto* header = reinterpret_cast<const char*>(base);
  return header[0] == 'M' && header[1] == 'Z';
}

#if defined(_WIN64)
// The one loaded module whose handle has `low` as its low 32 bits.
HMODULE matchLowBits(uint32_t low) {
  std::vector<HMODULE> modules(256);
  DWORD needed = 0;
  for (;;) {
    const auto bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!EnumProcessModules(GetCurrentProcess(), modules.data(), bytes, &needed)) return nullptr;
    if (needed <= bytes) break;
    modules.resize(needed / sizeof(HMODULE) + 16);
  }
  modules.resize(needed / sizeof(HMODULE));
  HMODULE found = nullptr;
  int matches = 0;
  for (HMODULE module : modules) {
    if (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module)) == low) {
      found = module;
      ++matches;
    }
  }
  return matches == 1 ? found : nullptr;
}
#endif

std::string toUtf8(const char* text, int bytes) {
  if (bytes <= 0) return {};
  const int wide = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text, bytes, utf16.data(), wide) != wide) return {};
  const int narrow =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return {};
  std::string utf8(static_cast<std::size_t>(narrow), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, utf8.data(), narrow, nullptr, nullptr) !=
      narrow) {
    return {};
  }
  return utf8;
}

}  // namespace

HMODULE resolveLanModule(int32_t value) {
  if (value == 0) return GetModuleHandleW(nullptr);
  // A 32-bit value as the host wrote it: negative values are handles above 2 GB.
  const uintptr_t given = static_cast<uint32_t>(value);
  if (holdsImage(imageBase(given))) return reinterpret_cast<HMODULE>(given);
#if defined(_WIN64)
  return matchLowBits(static_cast<uint32_t>(value));
#else
  return nullptr;
#endif
}

std::optional<std::string> loadModuleString(int32_t handle, int32_t id) {
  // String ids are 16 bits; any other number names no string of any module.
  if (id < 0 || id > 0xFFFF) return std::nullopt;
  HMODULE module = resolveLanModule(handle);
  if (module == nullptr) return std::nullopt;
  char buffer[kBufferBytes] = {};
  const int bytes = LoadStringA(module, static_cast<UINT>(id), buffer, kBufferBytes);
  if (bytes <= 0) return std::nullopt;
  return toUtf8(buffer, bytes < kBufferBytes ? bytes : kBufferBytes - 1);
}

void installModuleStrings() {
  static std::once_flag once;
  std::call_once(once, [] { ui::setStringSource(loadModuleString); });
}

}  // namespace solvard::windows
