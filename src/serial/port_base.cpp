#include "serial/port_base.hpp"

#include <algorithm>
#include <utility>

#include "serial/deadline_sleep.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"

namespace solvard::serial {
namespace {

// The most one read of the device takes at a time.
constexpr std::size_t kChunk = 512;

}  // namespace

PortBase::PortBase(std::string device) : device_(std::move(device)) {}

void PortBase::checkSettings(const LineSettings&) const {}

std::optional<std::string> PortBase::settingsRefusal() {
  try {
    return applySettings(line_);
  } catch (const detail::Fault& error) {
    return error.description();
  }
}

void PortBase::failOpen(OpenFailure::Kind kind, const std::string& device,
                        const std::string& reason) {
  openFailure_ = OpenFailure{kind, device, reason};
  throw port_errors::portUnavailable(device + ": " + reason);
}

void PortBase::requireOpen() const {
  if (!open_) throw port_errors::portNotOpen();
}

void PortBase::requireClosed() const {
  if (open_) throw port_errors::portAlreadyOpen();
}

void PortBase::PortOpen(bool open) {
  if (open) {
    requireClosed();
    openDevice(device_.empty() ? devicePathFor(devices_, portNumber_) : device_);
    open_ = true;
    openFailure_.reset();
  } else if (open_) {
    closeDevice();
    open_ = false;
  } else {
    return;
  }
  // What was received belongs to the port's previous life, and a new one has not hung up.
  hungUp_ = false;
  buffer_.clear();
}

void PortBase::CommPort(int16_t number) {
  requireClosed();
  checkPortNumber(number);
  portNumber_ = number;
}

// Any positive rate is taken here; whether the device runs at it shows only once the port is
// open, where a refusal is raised and the device goes back to the settings it had.
void PortBase::Settings(const std::string& text) {
  const LineSettings line = parseSettings(text);
  checkSettings(line);
  if (!open_) {
    line_ = line;
    return;
  }
  const LineSettings previous = std::exchange(line_, line);
  const auto refusal = applySettings(line_);
  if (!refusal) return;
  line_ = previous;
  (void)applySettings(line_);
  throw detail::Fault(detail::FaultKind::invalid_value, *refusal);
}

void PortBase::InBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  inBufferSize_ = size;
}

void PortBase::OutBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  outBufferSize_ = size;
}

// Binary and text input hand over the same bytes here: nothing is translated on the way in.
void PortBase::InputMode(int16_t mode) { checkInputMode(mode); }

// The room starts zeroed, so a device that counts more than it wrote hands over zeros, never
// what the memory held before.
void PortBase::keep(std::span<const uint8_t> room, std::size_t count) {
  const auto kept = room.first(std::min(count, room.size()));
  buffer_.insert(buffer_.end(), kept.begin(), kept.end());
}

void PortBase::drain() {
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize_);
  while (!hungUp_ && buffer_.size() < capacity) {
    uint8_t chunk[kChunk]{};
    const std::span<uint8_t> room(chunk, std::min(kChunk, capacity - buffer_.size()));
    const Received got = readWaiting(room);
    keep(room, got.count);
    if (got.failed) hungUp_ = true;
    if (got.count < room.size()) return;
  }
}

int PortBase::InBufferCount() {
  requireOpen();
  drain();
  return static_cast<int>(buffer_.size());
}

void PortBase::InBufferCount(int count) {
  if (count != 0) throw detail::Fault(detail::FaultKind::invalid_value);
  requireOpen();
  discardInput();
  buffer_.clear();
}

void PortBase::OutBufferCount(int count) {
  if (count != 0) throw detail::Fault(detail::FaultKind::invalid_value);
  requireOpen();
  discardOutput();
}

void PortBase::InputLen(int length) {
  if (length < 0) throw detail::Fault(detail::FaultKind::invalid_value);
  inputLen_ = length;
}

Bytes PortBase::Input() {
  requireOpen();
  drain();
  const std::size_t n =
      inputLen_ == 0 ? buffer_.size() : std::min<std::size_t>(inputLen_, buffer_.size());
  Bytes taken(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  return taken;
}

void PortBase::Output(std::span<const uint8_t> bytes) {
  requireOpen();
  writeBytes(bytes);
}

// A full buffer takes nothing more, so the device is not asked: the wait is slept, as on a
// closed port or one whose device hung up (asking those would return at once, and a wait loop
// would spin).
void PortBase::waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) {
  const auto deadline = Clock::now() + limit;
  waitLimit_ = limit;
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize_);
  if (open_ && !hungUp_ && buffer_.size() < capacity) {
    uint8_t chunk[kChunk]{};
    const std::span<uint8_t> room(chunk, std::min(kChunk, capacity - buffer_.size()));
    std::size_t taken = 0;
    expectBytes(std::clamp<std::size_t>(wanted, 1, room.size()));
    const WaitEnd end = awaitInput(deadline, room, taken);
    keep(room, taken);
    if (end == WaitEnd::Over) return;
    if (end == WaitEnd::Failed) hungUp_ = true;
  }
  sleepUntil(deadline);
}

}  // namespace solvard::serial
