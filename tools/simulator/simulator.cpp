#include "simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace solvard::simulator {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

Simulator::Simulator(SimulatorOptions options) : options_(std::move(options)) {}

Simulator::~Simulator() { stop(); }

void Simulator::addTerminal(std::unique_ptr<Terminal> terminal) {
  std::lock_guard lock(stateMutex_);
  const uint8_t machine = terminal->machineNumber();
  if (terminals_.contains(machine)) {
    throw std::invalid_argument("simulator: machine " + std::to_string(machine) +
                                " is already played");
  }
  terminals_.emplace(machine, std::move(terminal));
}

Terminal* Simulator::terminal(uint8_t machine) {
  auto it = terminals_.find(machine);
  return it == terminals_.end() ? nullptr : it->second.get();
}

void Simulator::start() {
  if (thread_.joinable()) return;
  if (options_.devicePath.empty()) {
    line_.createPseudoTerminal(options_.linkPath);
  } else {
    line_.openDevice(options_.devicePath, options_.baudRate);
  }
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    line_.close();
    throw std::runtime_error("simulator: pipe failed");
  }
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  stopping_ = false;
  vanished_ = false;
  thread_ = std::thread([this] { run(); });
}

void Simulator::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    const uint8_t signal = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &signal, 1);
    thread_.join();
  }
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
  wakeRead_ = wakeWrite_ = -1;
  line_.close();
}

std::chrono::nanoseconds Simulator::byteTime() const {
  // A start bit, 8 data bits and a stop bit.
  return std::chrono::nanoseconds(10'000'000'000LL / options_.baudRate);
}

bool Simulator::pauseUntil(TimePoint when) {
  for (;;) {
    if (stopping_) return false;
    // Wait to the nanosecond: a reply paced at the line rate must leave when its last bit
    // would, not up to a millisecond later, or a prompt-per-record download measures the
    // simulator instead of the library.
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(when - Clock::now());
    if (left.count() <= 0) return true;
    const timespec limit{static_cast<time_t>(left.count() / 1'000'000'000),
                         static_cast<long>(left.count() % 1'000'000'000)};
    pollfd wake{wakeRead_, POLLIN, 0};
    ::ppoll(&wake, 1, &limit, nullptr);
  }
}

void Simulator::run() {
  uint8_t chunk[256];
  while (!stopping_ && line_.isOpen()) {
    int timeout = -1;
    if (!pending_.bytes.empty()) {
      const auto idleEnd = pending_.times.back() + options_.idleGap;
      timeout = static_cast<int>(std::max<int64_t>(
          0, std::chrono::ceil<std::chrono::milliseconds>(idleEnd - Clock::now()).count()));
    }
    pollfd fds[2] = {{line_.fd(), POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeout);
    if (stopping_) break;
    if (ready == 0) {
      flushIncomplete();
      continue;
    }
    if (ready < 0) continue;
    if ((fds[0].revents & POLLIN) == 0) {
      // Hung up with nobody on the other side: wait for someone to come back.
      if (fds[0].revents != 0) pauseUntil(Clock::now() + options_.idleGap);
      continue;
    }
    const ssize_t n = ::read(line_.fd(), chunk, sizeof chunk);
    if (n <= 0) continue;
    const TimePoint at = Clock::now();
    if (options_.echo) {
      pending_.fate = LoggedFrame::Fate::Echoed;
      pending_.bytes.insert(pending_.bytes.end(), chunk, chunk + n);
      pending_.times.insert(pending_.times.end(), static_cast<std::size_t>(n), at);
      pending_.reply.insert(pending_.reply.end(), chunk, chunk + n);
      send({chunk, static_cast<std::size_t>(n)});
      continue;
    }
    for (ssize_t i = 0; i < n && line_.isOpen(); ++i) take(chunk[i], at);
  }
}

void Simulator::flushIncomplete() {
  if (pending_.bytes.empty()) return;
  if (pending_.fate == LoggedFrame::Fate::Answered) pending_.fate = LoggedFrame::Fate::Incomplete;
  log_.add(std::move(pending_));
  pending_ = {};
  target_ = nullptr;
}

void Simulator::take(uint8_t byte, TimePoint at) {
  if (pending_.bytes.empty()) {
    std::lock_guard lock(stateMutex_);
    target_ = terminal(byte);
    pending_.fate = target_ ? LoggedFrame::Fate::Answered : LoggedFrame::Fate::Unaddressed;
  }
  pending_.bytes.push_back(byte);
  pending_.times.push_back(at);
  if (!target_) return;  // dropped at the next idle gap
  std::size_t length;
  {
    std::lock_guard lock(stateMutex_);
    length = target_->frameLength(pending_.bytes);
  }
  if (length == 0 || pending_.bytes.size() < length) return;
  LoggedFrame frame = std::move(pending_);
  pending_ = {};
  Terminal& terminal = *target_;
  target_ = nullptr;
  answer(terminal, std::move(frame));
}

void Simulator::answer(Terminal& terminal, LoggedFrame frame) {
  PlannedReply reply;
  {
    std::lock_guard lock(stateMutex_);
    reply = terminal.respond(frame.bytes);
  }
  frame.reply = reply.bytes;
  const TimePoint received =
      options_.paced ? frame.times.front() + static_cast<int64_t>(frame.bytes.size()) * byteTime()
                     : Clock::now();
  log_.add(std::move(frame));
  if (!pauseUntil(received + reply.delay)) return;
  send(reply.bytes);
  if (reply.vanish) {
    line_.close();
    vanished_ = true;
  }
}

void Simulator::send(std::span<const uint8_t> bytes) {
  if (!options_.paced) {
    line_.write(bytes);
    return;
  }
  // Each byte leaves once the line would have carried it, so the reader sees the line rate.
  TimePoint due = Clock::now();
  for (uint8_t byte : bytes) {
    if (stopping_) return;
    due += byteTime();
    sleepUntil(due);
    line_.write({&byte, 1});
  }
}

}  // namespace solvard::simulator
