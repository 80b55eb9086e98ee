#include "serial/line_state.hpp"

#include "serial/port_devices.hpp"

namespace solvard::serial {
namespace {

thread_local LineState* threadLine = nullptr;

}  // namespace

LineState& libraryLine() {
  static LineState line;
  return line;
}

LineState& currentLine() { return threadLine != nullptr ? *threadLine : libraryLine(); }

UsingLine::UsingLine(LineState& line) : previous_(threadLine) { threadLine = &line; }

UsingLine::~UsingLine() { threadLine = previous_; }

std::string currentLineDevice() {
  const LineState& line = currentLine();
  return line.device.empty() ? portDevicePath(line.settings.portNumber) : line.device;
}

}  // namespace solvard::serial
