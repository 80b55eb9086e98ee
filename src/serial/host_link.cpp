#include "serial/host_link.hpp"

#include "serial/line_state.hpp"
#include "serial/shared_port.hpp"
#include "ui/messages.hpp"

namespace solvard::serial {

HostHooks& hostHooks() { return libraryLine().hooks; }

Link commandLink(LineState& line) { return commandLink(line, linePort(line)); }

Link commandLink(LineState& line, PortControl& port) {
  const HostHooks& hooks = line.hooks;
  Reporter reporter = hooks.reporter;
  if (!reporter) reporter = [](int32_t number) { ui::ReportMessage(number); };
  return Link(LinkServices{port, hooks.clock ? *hooks.clock : steadyClock(), hooks.pump,
                           std::move(reporter), hooks.slice, &line});
}

Link commandLink() { return commandLink(libraryLine()); }

}  // namespace solvard::serial
