#pragma once

#include "automation/variant.hpp"

namespace solvard::component {

// `GetLanRes` of either class: selects the language module for every object of both classes.
void selectLanguageModule(const automation::Variant& value);

}  // namespace solvard::component
