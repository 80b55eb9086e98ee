#include "windows/module.hpp"

#include <atomic>

namespace solvard::windows {
namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

void setModuleHandle(HMODULE module) { g_module = module; }
HMODULE moduleHandle() { return g_module; }

std::wstring modulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: a long path
  }
}

void objectCreated() { ++g_objects; }
void objectDestroyed() { --g_objects; }
void lockServer(bool lock) {
  if (lock) {
    ++g_locks;
  } else {
    --g_locks;
  }
}
bool canUnload() { return g_objects.load() == 0 && g_locks.load() == 0; }

}  // namespace solvard::windows
