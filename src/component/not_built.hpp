#pragma once

#include "automation/error.hpp"

namespace solvard::component {

// A member whose terminal exchange is not in this build yet answers as automation does for an
// action the object cannot perform.
[[noreturn]] inline void notBuiltYet() { throw automation::errors::notSupported(); }

}  // namespace solvard::component
