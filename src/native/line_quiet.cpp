#include <string>

#include "native/line_core.hpp"
#include "serial/host_link.hpp"

namespace solvard {
namespace {

std::string millisecondsText(std::chrono::milliseconds span) {
  return std::to_string(span.count()) + " ms";
}

}  // namespace

Result<std::size_t> Line::awaitQuiet(std::chrono::milliseconds quiet,
                                     std::chrono::milliseconds limit) {
  if (quiet.count() <= 0 || limit < quiet) {
    return Error(Errc::invalid_value, "a quiet time of " + millisecondsText(quiet) + " within " +
                                          millisecondsText(limit));
  }
  detail::LineCore& impl = *core_;
  return impl.run<std::size_t>([&]() -> Result<std::size_t> {
    serial::Link link = serial::commandLink(impl.state);
    if (link.OpenPort(impl.state.settings, serial::OnOpenFailure::Silent) ==
        serial::OpenResult::CannotOpen) {
      if (auto port = impl.portFailure()) return *port;
      return Error(Errc::port_failed, device().name() + ": the port did not open");
    }
    const serial::QuietWait wait =
        link.awaitQuiet(quiet, limit, [&] { return impl.state.stopRequested(); });
    link.ClosePort();
    const std::string dropped = std::to_string(wait.dropped) + " bytes no command asked for";
    switch (wait.end) {
      case serial::QuietWait::End::Quiet: return wait.dropped;
      case serial::QuietWait::End::Stopped:
        return Error(Errc::stopped, device().name() + ": stopped while waiting for a quiet line; " +
                                        dropped + " dropped");
      case serial::QuietWait::End::StillReceiving: break;
    }
    return Error(Errc::unexpected_reply,
                 device().name() + ": bytes still came after " + millisecondsText(limit) + " (" +
                     dropped + "): a terminal is still sending, or the line picks up noise");
  });
}

}  // namespace solvard
