#include "serial/host_link.hpp"

#include "serial/line_state.hpp"
#include "serial/shared_port.hpp"
#include "ui/messages.hpp"

namespace solvard::serial {

HostHooks& hostHooks() { return currentLine().hooks; }

bool stopRequested() {
  const HostHooks& hooks = hostHooks();
  return hooks.stopRequested && hooks.stopRequested();
}

Link commandLink() { return commandLink(sharedPort()); }

Link commandLink(PortControl& port) {
  const HostHooks& hooks = hostHooks();
  Reporter reporter = hooks.reporter;
  if (!reporter) reporter = [](int32_t number) { ui::ReportMessage(number); };
  return Link(LinkServices{port, hooks.clock ? *hooks.clock : steadyClock(), hooks.pump,
                           std::move(reporter), hooks.slice});
}

}  // namespace solvard::serial
