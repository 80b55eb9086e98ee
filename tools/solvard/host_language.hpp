#pragma once

#include <string>

namespace solvard::tool {

// The resource script of the English string table, built into the command.
const char* englishTableSource();

// Fills the host's own string table (the one a zero `GetLanRes` reads) from `path`, or from the
// built-in English table when `path` is empty. Raises AutomationError for a file that does not
// read.
void installHostLanguage(const std::string& path);

}  // namespace solvard::tool
