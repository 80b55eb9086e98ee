#include "serial/host_link.hpp"

#include "serial/line_state.hpp"
#include "serial/shared_port.hpp"

namespace solvard::serial {

Link commandLink(LineState& line) { return commandLink(line, linePort(line)); }

Link commandLink(LineState& line, PortControl& port) {
  const HostHooks& hooks = line.hooks;
  return Link(LinkServices{port, hooks.clock ? *hooks.clock : steadyClock(), hooks.pump,
                           hooks.notify, hooks.slice, &line});
}

}  // namespace solvard::serial
