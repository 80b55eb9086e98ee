#include "host_language.hpp"

#include "ui/language_modules.hpp"
#include "ui/string_table.hpp"

namespace solvard::tool {

void installHostLanguage(const std::string& path) {
  ui::setHostStringTable(path.empty() ? ui::parseStringTable(englishTableSource(), "en.rc")
                                      : ui::readStringTable(path));
}

}  // namespace solvard::tool
