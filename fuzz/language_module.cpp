// The language-module reader, on resource scripts a host points the library at. A script is
// either refused with the language-file error or read into ids within 0 to 65535; read from a
// file and loaded as a module, it gives the same texts under a fresh handle.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "automation/error.hpp"
#include "scripted_line.hpp"
#include "ui/language_modules.hpp"
#include "ui/string_table.hpp"

using namespace solvard;

namespace {

// Handles are never reused and run out after 32767 modules, so only the first few thousand
// inputs that read are loaded as modules.
constexpr int kModulesToLoad = 4000;

const std::filesystem::path& scriptFile() {
  static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                            ("solvard-fuzz-" + std::to_string(::getpid()) + ".rc");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  ui::StringTable table;
  try {
    table = ui::parseStringTable(source, "fuzz.rc");
  } catch (const automation::AutomationError& e) {
    fuzz::require(e.number() == ui::kLanguageFileError);
    return 0;
  }
  for (const auto& [id, text] : table) fuzz::require(id >= 0 && id <= 0xFFFF);

  static int loaded = 0;
  static int32_t lastHandle = 0;
  if (loaded >= kModulesToLoad) return 0;
  {
    std::ofstream out(scriptFile(), std::ios::binary | std::ios::trunc);
    out.write(source.data(), static_cast<std::streamsize>(source.size()));
  }
  int32_t handle = 0;
  try {
    handle = ui::loadLanguageModule(scriptFile());
  } catch (const automation::AutomationError&) {
    fuzz::broken();  // it read from memory, so it reads from the file
  }
  ++loaded;
  fuzz::require(handle > lastHandle && handle % 0x10000 == 0);
  lastHandle = handle;
  for (const auto& [id, text] : table) fuzz::require(ui::findModuleString(handle, id) == text);
  fuzz::require(ui::unloadLanguageModule(handle));
  fuzz::require(!ui::findModuleString(handle, table.empty() ? 1 : table.begin()->first));
  std::filesystem::remove(scriptFile());
  return 0;
}
