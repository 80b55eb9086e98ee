#pragma once

#include <cstdint>

#include "serial/notice.hpp"

namespace solvard::ui {

// The operator's message a notice is shown as: its number in the library's string table.
int32_t messageNumber(serial::Notice notice);

}  // namespace solvard::ui
