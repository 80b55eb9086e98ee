#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace solvard::windows {

// The module a `GetLanRes` value names. 0 is the host's own executable. Any other value must
// name memory that holds a module image (a loaded library or one mapped as a data file); in a
// 64-bit process a value that names none is taken as the low 32 bits of a handle, and the one
// loaded module whose handle has those bits is used. Null when no module fits (or several do).
HMODULE resolveLanModule(int32_t value);

// `LoadLanString` on Windows: LoadStringA on the selected module into a 255-byte buffer, the text
// converted from the system's ANSI code page to UTF-8. None when the module lacks the id.
std::optional<std::string> loadModuleString(int32_t handle, int32_t id);

// Makes `LoadLanString` read the host's resource modules. Once per process.
void installModuleStrings();

}  // namespace solvard::windows
