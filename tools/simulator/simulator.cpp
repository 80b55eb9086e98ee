#include "simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace solvard::simulator {
namespace {

using Clock = std::chrono::steady_clock;

// How long a reply waits for a client to make room; one that reads no faster is dropped, as the
// line must not stall for it.
constexpr std::chrono::milliseconds kClientWriteLimit{2000};

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
  try {
    if (options_.listen) listener_.open(*options_.listen);
  } catch (...) {
    line_.close();
    throw;
  }
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    listener_.close();
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
  closeClients();
  listener_.close();
  line_.close();
}

std::optional<TcpEndpoint> Simulator::listening() const {
  if (!listener_.isOpen()) return std::nullopt;
  return listener_.endpoint();
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
#ifdef __linux__
  // A terminal's UART sends each byte when its time comes. The system may otherwise let this
  // thread's timed waits run up to 50 us long, twice a reply (its start and its last byte), and
  // a prompt-per-record download would measure that instead of the library.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
  std::vector<pollfd> fds;
  while (!stopping_ && line_.isOpen()) {
    // The line, the wake pipe, the listener while there is room for a client, each client.
    fds.assign({{line_.fd(), POLLIN, 0}, {wakeRead_, POLLIN, 0}});
    const bool room = listener_.isOpen() && clients_.size() < kMaxTcpClients;
    fds.push_back({room ? listener_.fd() : -1, POLLIN, 0});
    for (const Channel& client : clients_) fds.push_back({client.fd, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), idleTimeout());
    if (stopping_) break;
    if (ready < 0) continue;
    // A channel with nothing to read whose frame has gone idle ends that frame; one with bytes
    // waiting reads them first, as they may have come within the gap.
    if (fds[0].revents & POLLIN) {
      receive(lineChannel_);
    } else {
      flushIfIdle(lineChannel_);
      // Hung up with nobody on the other side: wait for someone to come back.
      if (fds[0].revents != 0) pauseUntil(Clock::now() + options_.idleGap);
    }
    // Only the clients polled this round are read: an accepted one joins the next.
    for (std::size_t i = 0; i + 3 < fds.size() && line_.isOpen(); ++i) {
      if (fds[3 + i].revents == 0) {
        flushIfIdle(clients_[i]);
      } else if (!receive(clients_[i])) {
        clients_[i].gone = true;
      }
    }
    dropGoneClients();
    if (fds[2].revents & POLLIN) acceptClients();
  }
}

bool Simulator::receive(Channel& channel) {
  uint8_t chunk[256];
  const int fd = channel.fd < 0 ? line_.fd() : channel.fd;
  const ssize_t n = ::read(fd, chunk, sizeof chunk);
  if (n < 0) return channel.fd < 0 || errno == EAGAIN || errno == EINTR;
  if (n == 0) return channel.fd < 0;  // a client's end of stream: it left
  const TimePoint at = Clock::now();
  if (options_.echo) {
    LoggedFrame& pending = channel.pending;
    pending.fate = LoggedFrame::Fate::Echoed;
    pending.bytes.insert(pending.bytes.end(), chunk, chunk + n);
    pending.times.insert(pending.times.end(), static_cast<std::size_t>(n), at);
    pending.reply.insert(pending.reply.end(), chunk, chunk + n);
    send(channel, {chunk, static_cast<std::size_t>(n)});
    return !channel.gone;
  }
  for (ssize_t i = 0; i < n && line_.isOpen() && !channel.gone && !stopping_; ++i) {
    take(channel, chunk[i], at);
  }
  return !channel.gone;
}

void Simulator::acceptClients() {
  while (clients_.size() < kMaxTcpClients) {
    const int fd = listener_.accept();
    if (fd < 0) return;
    clients_.push_back(Channel{.fd = fd});
  }
}

void Simulator::dropGoneClients() {
  std::erase_if(clients_, [this](Channel& client) {
    if (!client.gone) return false;
    // What a client that left had sent of a frame is logged as the line logs a broken one.
    flushIncomplete(client);
    ::close(client.fd);
    return true;
  });
}

void Simulator::closeClients() {
  for (Channel& client : clients_) client.gone = true;
  dropGoneClients();
}

int Simulator::idleTimeout() const {
  std::optional<TimePoint> first;
  auto consider = [&](const Channel& channel) {
    if (channel.pending.bytes.empty()) return;
    const TimePoint idleEnd = channel.pending.times.back() + options_.idleGap;
    if (!first || idleEnd < *first) first = idleEnd;
  };
  consider(lineChannel_);
  for (const Channel& client : clients_) consider(client);
  if (!first) return -1;
  return static_cast<int>(std::max<int64_t>(
      0, std::chrono::ceil<std::chrono::milliseconds>(*first - Clock::now()).count()));
}

void Simulator::flushIfIdle(Channel& channel) {
  const LoggedFrame& pending = channel.pending;
  if (!pending.bytes.empty() && pending.times.back() + options_.idleGap <= Clock::now()) {
    flushIncomplete(channel);
  }
}

void Simulator::flushIncomplete(Channel& channel) {
  LoggedFrame& pending = channel.pending;
  if (pending.bytes.empty()) return;
  if (pending.fate == LoggedFrame::Fate::Answered) pending.fate = LoggedFrame::Fate::Incomplete;
  log_.add(std::move(pending));
  pending = {};
  channel.target = nullptr;
}

void Simulator::take(Channel& channel, uint8_t byte, TimePoint at) {
  LoggedFrame& pending = channel.pending;
  if (pending.bytes.empty()) {
    std::lock_guard lock(stateMutex_);
    channel.target = terminal(byte);
    pending.fate = channel.target ? LoggedFrame::Fate::Answered : LoggedFrame::Fate::Unaddressed;
  }
  pending.bytes.push_back(byte);
  pending.times.push_back(at);
  if (!channel.target) return;  // dropped at the next idle gap
  std::size_t length;
  {
    std::lock_guard lock(stateMutex_);
    length = channel.target->frameLength(pending.bytes);
  }
  if (length == 0 || pending.bytes.size() < length) return;
  LoggedFrame frame = std::move(pending);
  pending = {};
  Terminal& terminal = *channel.target;
  channel.target = nullptr;
  answer(channel, terminal, std::move(frame));
}

void Simulator::answer(Channel& channel, Terminal& terminal, LoggedFrame frame) {
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
  send(channel, reply.bytes);
  if (reply.vanish) {
    line_.close();
    vanished_ = true;
  }
}

void Simulator::write(Channel& channel, std::span<const uint8_t> bytes) {
  if (channel.fd < 0) {
    line_.write(bytes);
  } else if (!channel.gone && !writeToClient(channel.fd, bytes, kClientWriteLimit)) {
    channel.gone = true;
  }
}

void Simulator::send(Channel& channel, std::span<const uint8_t> bytes) {
  if (!options_.paced) {
    write(channel, bytes);
    return;
  }
  // Each byte leaves once the line would have carried it, so the reader sees the line rate.
  TimePoint due = Clock::now();
  for (uint8_t byte : bytes) {
    if (stopping_) return;
    due += byteTime();
    sleepUntil(due);
    write(channel, {&byte, 1});
  }
}

}  // namespace solvard::simulator
