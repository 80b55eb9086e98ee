#include "serial/link.hpp"

#include <algorithm>
#include <string>

#include "serial/line_state.hpp"

namespace solvard::serial {
Link::Link(LinkServices services)
    : services_(std::move(services)),
      ownLine_(services_.line != nullptr ? nullptr : std::make_unique<LineState>()),
      line_(services_.line != nullptr ? *services_.line : *ownLine_),
      guard_(line_.commandRunning) {}

Link::~Link() = default;

OpenResult Link::OpenPort(const PortSetup& setup, OnOpenFailure onFailure) {
  PortControl& port = services_.port;
  // Closing and applying the settings come before the skip-on-failure rule: a refusal here
  // ends the command with the error.
  skipping_ = false;
  if (port.PortOpen()) port.PortOpen(false);
  applySettings(setup);
  if (port.PortOpen()) return OpenResult::Opened;

  skipping_ = true;
  if (openIfClosed()) return OpenResult::Opened;
  if (onFailure == OnOpenFailure::Report) reportPortFailure();
  return OpenResult::CannotOpen;
}

void Link::applySettings(const PortSetup& setup) {
  PortControl& port = services_.port;
  step([&] { port.CommPort(setup.portNumber); });
  step([&] { port.Settings(setup.settingsText); });
  step([&] { port.InBufferSize(bufferSize(setup.inBufferSize)); });
  step([&] { port.OutBufferSize(bufferSize(setup.outBufferSize)); });
  step([&] { port.InputMode(1); });
}

bool Link::openIfClosed() {
  PortControl& port = services_.port;
  try {
    if (!port.PortOpen()) port.PortOpen(true);
  } catch (const detail::Fault& e) {
    if (!skipping_) throw;
    // The operator's message says only that the port cannot be opened; the host's log gets
    // which device it was and why (not a serial device, in use by another program, ...).
    line_.logLine("the port cannot be opened: " + e.description());
  }
  return port.PortOpen();
}

void Link::ClearBuffers() {
  step([&] { services_.port.InBufferCount(0); });
  step([&] { services_.port.OutBufferCount(0); });
}

void Link::SendFrame(std::span<const uint8_t> frame) {
  line_.trace.lastFrame.assign(frame.begin(), frame.end());
  step([&] { services_.port.Output(frame); });
}

WaitResult Link::AwaitReply(int count, int timeoutSeconds) {
  return awaitReply(count, timeoutSeconds, WaitRule{});
}

WaitResult Link::awaitReply(int count, int limitSeconds, const WaitRule& rule) {
  const bool countFirst = rule.order == WaitRule::Order::CountFirst;
  const std::chrono::nanoseconds start = services_.clock.now();
  LinkTrace& trace = line_.trace;
  trace.awaited = count;
  trace.timedOut = false;
  // The count last seen is what the trace reports; counting once more could change what a
  // scripted line does next.
  int seen = 0;
  const auto arrived = [&] {
    seen = waitingCount();
    trace.arrived = seen;
    return seen >= count;
  };
  trace.arrived = 0;
  for (;;) {
    if (countFirst && arrived()) return WaitResult::Arrived;
    if (waitExpired(start, services_.clock.now(), limitSeconds, rule)) {
      trace.timedOut = true;
      return WaitResult::TimedOut;
    }
    yieldOnce(static_cast<std::size_t>(std::max(count - seen, 1)));
    if (!countFirst && arrived()) return WaitResult::Arrived;
  }
}

Bytes Link::ReadReply(int count) {
  Bytes reply;
  step([&] { services_.port.InputLen(count); });
  step([&] { reply = services_.port.Input(); });
  line_.trace.lastRead = reply;
  return reply;
}

void Link::ClosePort() {
  step([&] {
    if (services_.port.PortOpen()) services_.port.PortOpen(false);
  });
}

void Link::reportPortFailure() { report(Notice::port_cannot_open); }

void Link::report(Notice notice) {
  if (!services_.notify) return;
  // A notice the host cannot take is skipped: the command goes on to its result.
  try {
    services_.notify(notice);
  } catch (...) {
    line_.logLine("a notice to the host was lost: its receiver failed");
  }
}

QuietWait Link::awaitQuiet(std::chrono::nanoseconds quiet, std::chrono::nanoseconds limit,
                           const std::function<bool()>& stop) {
  QuietWait wait;
  const std::chrono::nanoseconds start = services_.clock.now();
  std::chrono::nanoseconds lastCame = start;
  for (;;) {
    if (const int waiting = waitingCount(); waiting > 0) {
      wait.dropped += ReadReply(waiting).size();
      lastCame = services_.clock.now();
    }
    const std::chrono::nanoseconds now = services_.clock.now();
    if (now - lastCame >= quiet) return wait;
    if (now - start >= limit) {
      wait.end = QuietWait::End::StillReceiving;
      return wait;
    }
    if (stop && stop()) {
      wait.end = QuietWait::End::Stopped;
      return wait;
    }
    yieldOnce();
  }
}

int Link::waitingCount() {
  try {
    return services_.port.InBufferCount();
  } catch (const detail::Fault&) {
    return 0;
  }
}

void Link::yieldOnce(std::size_t wanted) {
  if (services_.pump) services_.pump();
  services_.port.waitForBytes(services_.slice, wanted);
}

}  // namespace solvard::serial
