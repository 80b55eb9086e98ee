#include "serial/line_state.hpp"

#include "serial/port_devices.hpp"
#include "ui/host_reports.hpp"

namespace solvard::serial {

LineState& libraryLine() {
  static LineState line;
  static const bool wired = [] {
    line.log = [](const std::string& text) { ui::logLine(text); };
    line.progress = [](int32_t done, int32_t total) { ui::reportProgress(done, total); };
    return true;
  }();
  (void)wired;
  return line;
}

std::string LineState::devicePath() const {
  return device.empty() ? portDevicePath(settings.portNumber) : device;
}

}  // namespace solvard::serial
