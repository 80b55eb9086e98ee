#pragma once

#include "solvard/export.hpp"

namespace solvard {

// The library's version, as "major.minor".
SOLVARD_API const char* version();

}  // namespace solvard
