#pragma once

#include <cstdint>
#include <optional>

#include "automation/error.hpp"

namespace solvard::automation::testing {

// The automation error number a call raises, or nothing when it returns.
template <typename Call>
std::optional<int32_t> errorOf(Call&& call) {
  try {
    call();
  } catch (const AutomationError& error) {
    return error.number();
  }
  return std::nullopt;
}

}  // namespace solvard::automation::testing
