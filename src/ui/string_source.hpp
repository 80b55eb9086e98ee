#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace solvard::ui {

// Where `LoadLanString` reads a module's strings. The default reads the modules loaded with
// loadLanguageModule (language_modules.hpp); a platform whose language modules are its own
// resource libraries installs a source that reads them. A source returns the text as UTF-8, or
// none when the module does not hold the id.
using StringSource = std::function<std::optional<std::string>(int32_t handle, int32_t id)>;

// Installs the source and returns the one it replaces; an empty source puts the default back.
StringSource setStringSource(StringSource source);

}  // namespace solvard::ui
