#pragma once

#include <memory>
#include <string_view>

#include "component/dispatch.hpp"

namespace solvard::component {

// Creates an object by class name ("Attend", "Prohibit") or ProgID ("Solvard.Attend"),
// without regard to case; nullptr for a name the library does not serve.
std::unique_ptr<DispatchObject> createObject(std::string_view name);

}  // namespace solvard::component
