#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "ui/string_table.hpp"

namespace solvard::ui {

// On Linux a language module is a string table read from a resource-script file. Loading one
// gives a handle, as loading a resource library does on Windows; the host passes it to
// `GetLanRes`. Handles are distinct and not 0: the first module gets 0x10000, each further one
// 0x10000 more. Handle 0 stands for the host program's own table, empty until the host fills it.
// A handle nothing was loaded under is a module without strings.

// Reads the file and keeps it as a module. A file that cannot be read or does not parse is
// refused with error kLanguageFileError (see string_table.hpp); so is a load when every handle
// is taken.
int32_t loadLanguageModule(const std::filesystem::path& file);

// Forgets a loaded module; its handle then holds no strings. False when none was loaded under it.
bool unloadLanguageModule(int32_t handle);

// Replaces the host program's own table, the one handle 0 reads.
void setHostStringTable(StringTable table);

// The text of `id` in the module, as stored; none when the module does not hold it.
std::optional<std::string> findModuleString(int32_t handle, int32_t id);

}  // namespace solvard::ui
