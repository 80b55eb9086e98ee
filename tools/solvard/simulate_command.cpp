#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>
#include <memory>

#include "commands.hpp"
#include "hex_text.hpp"
#include "sim_terminals.hpp"
#include "simulate_options.hpp"
#include "simulator/link_lock.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {

namespace {

using namespace std::chrono_literals;

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void requestStop(int) { stopRequested = 1; }

// The simulator runs in the background until told to stop: standard input is not read, so one
// started with it closed (`... </dev/null &`) keeps serving.
class StopOnSignal {
 public:
  StopOnSignal() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM}) sigaction(signal, &action, nullptr);
  }
  ~StopOnSignal() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }
  StopOnSignal(const StopOnSignal&) = delete;
  StopOnSignal& operator=(const StopOnSignal&) = delete;
};

std::string fateText(simulator::LoggedFrame::Fate fate) {
  switch (fate) {
    case simulator::LoggedFrame::Fate::Answered: return "answered";
    case simulator::LoggedFrame::Fate::Unaddressed: return "no terminal with that number";
    case simulator::LoggedFrame::Fate::Incomplete: return "incomplete frame";
    case simulator::LoggedFrame::Fate::Echoed: return "echoed";
  }
  return "";
}

// Prints the frames logged since the last call, and forgets them: "<- BYTES  (fate)", then
// "-> REPLY" if one went back.
void showFrames(simulator::Simulator& sim, bool quiet) {
  for (const simulator::LoggedFrame& f : sim.takeFrames()) {
    if (quiet) continue;
    std::cout << "<- " << hexText(f.bytes) << "  (" << fateText(f.fate) << ")";
    if (!f.reply.empty()) std::cout << "\n-> " << hexText(f.reply);
    std::cout << std::endl;
  }
}

int simulate(const SimulateSettings& settings) {
  StopOnSignal signals;
  simulator::Simulator sim(settings.options);
  try {
    for (auto [kind, machine] : settings.terminals) {
      sim.add(makeTerminal(kind, machine, settings.records));
    }
    sim.start();
  } catch (const simulator::LinkRefused& e) {
    std::cerr << "solvard simulate: " << e.what() << "\n";
    return kExitFailed;
  } catch (const std::exception& e) {
    std::cerr << "solvard simulate: cannot start the line: " << e.what() << "\n";
    return kExitFailed;
  }
  std::cout << "line: " << sim.path() << "\n";
  if (auto endpoint = sim.listening())
    std::cout << "tcp: " << simulator::endpointText(*endpoint) << "\n";
  std::cout << std::flush;

  while (!stopRequested && !sim.lineVanished()) {
    // Bounded, so a signal is seen within a tenth of a second even when the line is quiet.
    sim.waitForFrames(1, 100ms);
    showFrames(sim, settings.quiet);
  }
  sim.stop();
  showFrames(sim, settings.quiet);
  return kExitOk;
}

}  // namespace

void addSimulateCommand(CLI::App& app, int& status) {
  CLI::App* command = app.add_subcommand("simulate", "play terminals on a pseudo-terminal line");
  command->footer(
      "Plays the terminals on one line: a new pseudo-terminal pair (its path printed, and "
      "published at --link PATH if given) or an existing serial device (--device). Prints "
      "'line: PATH', the device a host opens, and with --listen 'tcp: ADDRESS:PORT'; then each "
      "frame the line carries, '<- BYTES  (what became of it)', and the reply, '-> BYTES'.\n"
      "Runs in the background until SIGINT or SIGTERM (standard input is not read), then "
      "removes its link. Up to " +
      std::to_string(simulator::kMaxTcpClients) +
      " TCP clients are served at once; more wait their turn.");
  auto words = std::make_shared<SimulateWords>();
  addSimulateOptions(*command, *words);
  command->callback([words, &status] { status = simulate(simulateSettings(*words)); });
}

}  // namespace solvard::tool
