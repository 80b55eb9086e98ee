#include "component/library_line.hpp"

#include <exception>
#include <utility>

#include "serial/host_link.hpp"
#include "serial/shared_port.hpp"
#include "ui/host_reports.hpp"
#include "ui/messages.hpp"
#include "ui/notice_messages.hpp"

namespace solvard::component {
namespace {

// A notice becomes the operator's message box; a box that cannot be shown is skipped and the
// library log says so, and the command goes on to its result.
void showNotice(serial::Notice notice) {
  const int32_t number = ui::messageNumber(notice);
  try {
    const Reporter& reporter = libraryHooks().reporter;
    if (reporter) {
      reporter(number);
    } else {
      ui::ReportMessage(number);
    }
  } catch (...) {
    ui::logNotShown(number, std::current_exception());
  }
}

serial::LineState& wiredLine() {
  static serial::LineState line;
  static const bool wired = [] {
    line.log = [](const std::string& text) { ui::logLine(text); };
    line.progress = [](int32_t done, int32_t total) { ui::reportProgress(done, total); };
    line.devices = &libraryPortDevices();
    return true;
  }();
  (void)wired;
  return line;
}

}  // namespace

LibraryHooks& libraryHooks() {
  static LibraryHooks hooks;
  return hooks;
}

serial::LineState& libraryLine() {
  serial::LineState& line = wiredLine();
  // A command running on the line keeps the hooks it began with; one started beside it is
  // refused by the line's command flag before it reads them.
  if (!line.commandRunning.load()) {
    const LibraryHooks& hooks = libraryHooks();
    line.hooks = {.pump = hooks.pump,
                  .notify = showNotice,
                  .clock = hooks.clock,
                  .slice = hooks.slice,
                  .stopRequested = hooks.stopRequested};
  }
  return line;
}

serial::LibrarySettings& librarySettings() { return wiredLine().settings; }

serial::PortDevices& libraryPortDevices() {
  static serial::PortDevices devices;
  return devices;
}

void mapPortDevice(int16_t number, std::string devicePath) {
  libraryPortDevices().map(number, std::move(devicePath));
}

void unmapPortDevice(int16_t number) { libraryPortDevices().unmap(number); }

serial::PortControl& sharedPort() { return serial::linePort(wiredLine()); }

std::unique_ptr<serial::PortControl> replaceSharedPort(std::unique_ptr<serial::PortControl> port) {
  std::swap(wiredLine().port, port);
  return port;
}

std::shared_ptr<prohibit::PendingRecords>& keptSlot() {
  static std::shared_ptr<prohibit::PendingRecords> kept =
      std::make_shared<prohibit::PendingRecordsInMemory>();
  return kept;
}

prohibit::PendingRecords& libraryKeptRecords() { return *keptSlot(); }

std::shared_ptr<prohibit::PendingRecords> setLibraryKeptRecords(
    std::shared_ptr<prohibit::PendingRecords> kept) {
  if (!kept) kept = std::make_shared<prohibit::PendingRecordsInMemory>();
  return std::exchange(keptSlot(), std::move(kept));
}

serial::Link commandLink() { return serial::commandLink(libraryLine()); }

}  // namespace solvard::component
