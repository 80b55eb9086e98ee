#pragma once

#include <cstdint>
#include <memory>

#include "simulator/terminal.hpp"

namespace solvard::tool {

// The terminal the command plays for a machine number of a kind, with the behaviour of that kind
// of terminal, holding `records` stored card records (the same sample every run) for a download.
std::unique_ptr<simulator::Terminal> makeTerminal(simulator::TerminalKind kind, uint8_t machine,
                                                  int records = 0);

}  // namespace solvard::tool
