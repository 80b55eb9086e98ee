#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <iostream>

#include "command_line.hpp"
#include "commands.hpp"
#include "hex_text.hpp"
#include "sim_terminals.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {

namespace {

volatile sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

void usage(std::ostream& out) {
  out << "usage: solvard simulate [--attend M]... [--door M]... [--records N] [--link PATH]\n"
         "                        [--device PATH] [--baud N] [--paced] [--echo] [--quiet]\n"
         "  Plays attendance (--attend) and access-control (--door) terminals with machine\n"
         "  numbers M on one line: a new pseudo-terminal pair (its path printed, and published\n"
         "  at --link PATH if given) or an existing serial device (--device). Each terminal\n"
         "  holds N sample records (--records, default 0) for a download. Each frame the\n"
         "  line carries is printed with the reply. Runs until interrupted or standard input\n"
         "  closes.\n";
}

bool readNumber(const std::string& text, int lo, int hi, int& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= lo && value <= hi;
}

std::string fateText(simulator::LoggedFrame::Fate fate) {
  switch (fate) {
    case simulator::LoggedFrame::Fate::Answered: return "answered";
    case simulator::LoggedFrame::Fate::Unaddressed: return "no terminal with that number";
    case simulator::LoggedFrame::Fate::Incomplete: return "incomplete frame";
    case simulator::LoggedFrame::Fate::Echoed: return "echoed";
  }
  return "";
}

}  // namespace

int simulateCommand(const std::vector<std::string>& args) {
  simulator::SimulatorOptions options;
  std::vector<std::pair<simulator::TerminalKind, uint8_t>> terminals;
  bool quiet = false;
  int records = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    int n = 0;
    if (a == "--attend" || a == "--door") {
      if (!value(v) || !readNumber(v, 0, 255, n)) {
        std::cerr << "solvard simulate: " << a << " takes a machine number 0 to 255\n";
        return kExitUsage;
      }
      terminals.emplace_back(a == "--attend" ? simulator::TerminalKind::Attendance
                                             : simulator::TerminalKind::AccessControl,
                             static_cast<uint8_t>(n));
    } else if (a == "--records") {
      if (!value(v) || !readNumber(v, 0, 65535, records)) {
        std::cerr << "solvard simulate: --records takes a count 0 to 65535\n";
        return kExitUsage;
      }
    } else if (a == "--link") {
      if (!value(options.linkPath)) return usage(std::cerr), kExitUsage;
    } else if (a == "--device") {
      if (!value(options.devicePath)) return usage(std::cerr), kExitUsage;
    } else if (a == "--baud") {
      if (!value(v) || !readNumber(v, 50, 4000000, n)) {
        std::cerr << "solvard simulate: --baud takes a baud rate such as 9600\n";
        return kExitUsage;
      }
      options.baudRate = n;
    } else if (a == "--paced") {
      options.paced = true;
    } else if (a == "--echo") {
      options.echo = true;
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a == "--help" || a == "-h") {
      usage(std::cout);
      return kExitOk;
    } else {
      std::cerr << "solvard simulate: unknown option " << a << "\n";
      usage(std::cerr);
      return kExitUsage;
    }
  }
  if (terminals.empty() && !options.echo) {
    std::cerr
        << "solvard simulate: name at least one terminal (--attend M or --door M) or --echo\n";
    return kExitUsage;
  }

  simulator::Simulator sim(options);
  try {
    for (auto [kind, machine] : terminals) sim.add(makeTerminal(kind, machine, records));
    sim.start();
  } catch (const std::exception& e) {
    std::cerr << "solvard simulate: cannot start the line: " << e.what() << "\n";
    return kExitFailed;
  }
  std::cout << "line: " << sim.path() << std::endl;

  signal(SIGINT, requestStop);
  signal(SIGTERM, requestStop);
  size_t shown = 0;
  bool inputOpen = true;
  while (!stopRequested && !sim.lineVanished()) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (inputOpen && poll(&in, 1, 100) > 0) {
      char buf[256];
      if (read(STDIN_FILENO, buf, sizeof buf) <= 0) break;
    } else if (!inputOpen) {
      poll(nullptr, 0, 100);
    }
    if (in.revents & (POLLHUP | POLLNVAL)) inputOpen = false;
    std::vector<simulator::LoggedFrame> frames = sim.frames();
    for (; shown < frames.size(); ++shown) {
      if (quiet) continue;
      const simulator::LoggedFrame& f = frames[shown];
      std::cout << "<- " << hexText(f.bytes) << "  (" << fateText(f.fate) << ")";
      if (!f.reply.empty()) std::cout << "\n-> " << hexText(f.reply);
      std::cout << std::endl;
    }
  }
  sim.stop();
  return kExitOk;
}

}  // namespace solvard::tool

namespace solvard::tool {

void addSimulateCommand(CLI::App& app, int& status) {
  addWordListCommand(app, "simulate", "play terminals on a pseudo-terminal line", simulateCommand,
                     status);
}

}  // namespace solvard::tool
