#include "sim_terminals.hpp"

#include "simulator/access_terminal.hpp"
#include "simulator/attend_terminal.hpp"
#include "simulator/scripted_terminal.hpp"

namespace solvard::tool {

namespace {

// An access-control terminal stores the same readings as an attendance terminal, with a ten-digit
// card and no seconds or end mark: 00 00 c1 c2 c3 yy mm dd hh mi.
simulator::Bytes accessRecordFrom(const simulator::Bytes& attendance) {
  return {0x00,          0x00,          attendance[0], attendance[1], attendance[2],
          attendance[3], attendance[4], attendance[5], attendance[6], attendance[7]};
}

}  // namespace

std::unique_ptr<simulator::Terminal> makeTerminal(simulator::TerminalKind kind, uint8_t machine,
                                                  int records) {
  std::vector<simulator::Bytes> sample = simulator::sampleRecords(records, machine + 1u);
  if (kind == simulator::TerminalKind::Attendance) {
    auto terminal = std::make_unique<simulator::AttendTerminal>(machine);
    terminal->storeRecords(std::move(sample));
    return terminal;
  }
  if (kind == simulator::TerminalKind::AccessControl) {
    auto terminal = std::make_unique<simulator::AccessTerminal>(machine);
    for (const simulator::Bytes& r : sample) terminal->store(accessRecordFrom(r));
    return terminal;
  }
  return std::make_unique<simulator::ScriptedTerminal>(kind, machine);
}

}  // namespace solvard::tool
