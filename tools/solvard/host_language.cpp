#include "host_language.hpp"

#include "automation/error.hpp"
#include "ui/language_modules.hpp"
#include "ui/string_table.hpp"

namespace solvard::tool {

std::optional<std::string> installHostLanguage(const std::string& path) {
  try {
    ui::setHostStringTable(path.empty() ? ui::parseStringTable(englishTableSource(), "en.rc")
                                        : ui::readStringTable(path));
  } catch (const detail::Fault& fault) {
    return automation::asAutomationError(fault).description();
  }
  return std::nullopt;
}

}  // namespace solvard::tool
