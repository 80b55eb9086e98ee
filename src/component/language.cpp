#include "component/language.hpp"

#include "ui/lan_res.hpp"

namespace solvard::component {

void selectLanguageModule(const automation::Variant& value) { ui::setLanResHandle(value); }

}  // namespace solvard::component
