#include "sim_terminals.hpp"

#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/scripted_terminal.hpp"

namespace solvard::tool {

std::unique_ptr<simulator::Terminal> makeTerminal(simulator::TerminalKind kind, uint8_t machine) {
  if (kind == simulator::TerminalKind::Attendance) {
    return std::make_unique<simulator::AttendTerminal>(machine);
  }
  if (kind == simulator::TerminalKind::AccessControl) {
    return std::make_unique<simulator::AccessTerminal>(machine);
  }
  return std::make_unique<simulator::ScriptedTerminal>(kind, machine);
}

}  // namespace solvard::tool
