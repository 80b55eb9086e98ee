#include <iostream>

#include "automation/error.hpp"
#include "commands.hpp"
#include "component/factory.hpp"
#include "hex_text.hpp"
#include "serial/port_devices.hpp"
#include "sim_terminals.hpp"
#include "simulator/simulator.hpp"
#include "variant_json.hpp"

namespace solvard::tool {

namespace {

using automation::Variant;

constexpr int16_t kDemoPort = 1;

struct DemoCall {
  const char* className;
  const char* member;
  std::vector<Variant> args;
  const char* what;
};

// Runs one call and shows what went over the line and what came back.
void show(simulator::Simulator& sim, component::DispatchObject& obj, const DemoCall& call) {
  sim.clearLog();
  std::vector<Variant> args = call.args;
  component::DispatchResult r =
      component::tryInvoke(obj, call.member, component::MemberKind::Method, args);
  std::cout << "\n" << call.className << "." << call.member << ": " << call.what << "\n";
  for (const simulator::LoggedFrame& f : sim.frames()) {
    std::cout << "  host -> line   " << hexText(f.bytes) << "\n";
    if (!f.reply.empty()) std::cout << "  line -> host   " << hexText(f.reply) << "\n";
  }
  if (r.error) {
    std::cout << "  error " << r.error->number() << ": " << r.error->description() << "\n";
  } else {
    std::cout << "  result " << toJson(r.value).dump() << "\n";
  }
}

}  // namespace

int demoCommand(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::cerr << "usage: solvard demo\n";
    return kExitUsage;
  }
  simulator::Simulator sim;
  sim.add(makeTerminal(simulator::TerminalKind::AccessControl, 3));
  sim.add(makeTerminal(simulator::TerminalKind::Attendance, 1));
  try {
    sim.start();
  } catch (const std::exception& e) {
    std::cerr << "solvard demo: cannot create the simulated line: " << e.what() << "\n";
    return kExitFailed;
  }
  serial::mapPortDevice(kDemoPort, sim.path());
  std::cout << "A simulated line on " << sim.path() << " (port " << kDemoPort
            << "): an access-control terminal, machine 3, and an attendance terminal, machine 1.\n";

  auto door = component::createObject("Prohibit");
  auto clock = component::createObject("Attend");
  std::vector<Variant> port{Variant(kDemoPort)};
  component::invoke(*door, "CommPortID", component::MemberKind::PropertyLet, port);
  port = {Variant(kDemoPort)};
  component::invoke(*clock, "CommPortID", component::MemberKind::PropertyLet, port);

  const DemoCall calls[] = {
      {"Prohibit", "OpenLock", {Variant(3)}, "open the door of terminal 3"},
      {"Prohibit", "GetLockState", {Variant(3)}, "ask terminal 3 for its lock state"},
      {"Prohibit", "SetMacTime", {Variant(3), Variant("13:05:09")}, "set terminal 3's clock"},
      {"Prohibit", "OpenLock", {Variant(4)}, "terminal 4 is not on the line: no answer"},
      {"Attend", "AdjustDate", {Variant(1), Variant("2001-06-29")}, "set terminal 1's date"},
      {"Attend", "GetOriginalCardNo", {Variant(1)}, "read terminal 1's original card number"},
  };
  for (const DemoCall& call : calls) {
    show(sim, std::string_view(call.className) == "Prohibit" ? *door : *clock, call);
  }
  serial::unmapPortDevice(kDemoPort);
  sim.stop();
  return kExitOk;
}

}  // namespace solvard::tool
