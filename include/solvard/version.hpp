#pragma once

namespace solvard {

// The library's version, as "major.minor".
const char* version();

}  // namespace solvard
