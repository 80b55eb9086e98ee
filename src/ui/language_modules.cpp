#include "ui/language_modules.hpp"

#include <map>
#include <mutex>

namespace solvard::ui {

namespace {

constexpr int32_t kFirstHandle = 0x10000;
constexpr int32_t kHandleStep = 0x10000;
constexpr int32_t kLastHandle = 0x7FFF0000;

struct Modules {
  std::mutex mutex;
  StringTable host;
  std::map<int32_t, StringTable> loaded;
  int32_t nextHandle = kFirstHandle;
};

Modules& modules() {
  static Modules instance;
  return instance;
}

}  // namespace

int32_t loadLanguageModule(const std::filesystem::path& file) {
  // Parsed before the lock: reading a file must not hold up lookups.
  StringTable table = readStringTable(file);
  Modules& m = modules();
  std::lock_guard lock(m.mutex);
  if (m.nextHandle > kLastHandle) {
    throw automation::AutomationError(
        kLanguageFileError,
        "Cannot load language module \"" + file.string() + "\": too many modules are loaded");
  }
  const int32_t handle = m.nextHandle;
  // Handles are never reused, so a stale handle cannot name another language.
  m.nextHandle = handle == kLastHandle ? kLastHandle + 1 : handle + kHandleStep;
  m.loaded.emplace(handle, std::move(table));
  return handle;
}

bool unloadLanguageModule(int32_t handle) {
  Modules& m = modules();
  std::lock_guard lock(m.mutex);
  return m.loaded.erase(handle) > 0;
}

void setHostStringTable(StringTable table) {
  Modules& m = modules();
  std::lock_guard lock(m.mutex);
  m.host = std::move(table);
}

std::optional<std::string> findModuleString(int32_t handle, int32_t id) {
  Modules& m = modules();
  std::lock_guard lock(m.mutex);
  const StringTable* table = nullptr;
  if (handle == 0) {
    table = &m.host;
  } else if (const auto module = m.loaded.find(handle); module != m.loaded.end()) {
    table = &module->second;
  }
  if (table == nullptr) return std::nullopt;
  const auto text = table->find(id);
  if (text == table->end()) return std::nullopt;
  return text->second;
}

}  // namespace solvard::ui
