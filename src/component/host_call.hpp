#pragma once

#include "automation/error.hpp"

namespace solvard::component {

// Runs a call of the automation face for its host: a fault the core raises (the port in use,
// a setting refused, a value that does not fit) reaches the host as the run-time error of its
// kind, as every error of the face does.
template <typename Call>
decltype(auto) hostCall(Call&& call) {
  try {
    return call();
  } catch (const automation::AutomationError&) {
    throw;
  } catch (const detail::Fault& fault) {
    throw automation::asAutomationError(fault);
  }
}

}  // namespace solvard::component
