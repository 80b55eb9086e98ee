#include "stop_signals.hpp"

#include <csignal>

namespace solvard::tool {
namespace {

volatile std::sig_atomic_t stopAsked = 0;

extern "C" void askToStop(int signal) {
  stopAsked = 1;
  // The next one ends the process, as an operator pressing Ctrl+C twice expects.
  std::signal(signal, SIG_DFL);
}

}  // namespace

StopOnSignals::StopOnSignals() {
  stopAsked = 0;
  std::signal(SIGINT, askToStop);
  std::signal(SIGTERM, askToStop);
}

bool StopOnSignals::requested() { return stopAsked != 0; }

StopOnSignals::~StopOnSignals() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

}  // namespace solvard::tool
