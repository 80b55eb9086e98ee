#pragma once

#include <optional>
#include <string>

namespace solvard::tool {

// The resource script of the English string table, built into the command.
const char* englishTableSource();

// Fills the host's own string table (the one a zero `GetLanRes` reads) from `path`, or from the
// built-in English table when `path` is empty. A file that does not read leaves the table as it
// was and gives why, in the words the automation face gives its hosts.
std::optional<std::string> installHostLanguage(const std::string& path);

}  // namespace solvard::tool
