#pragma once

#include <cstdint>
#include <memory>

#include "simulator/terminal.hpp"

namespace solvard::tool {

// The terminal the command plays for a machine number of a kind, with the behaviour of that kind
// of terminal.
std::unique_ptr<simulator::Terminal> makeTerminal(simulator::TerminalKind kind, uint8_t machine);

}  // namespace solvard::tool
