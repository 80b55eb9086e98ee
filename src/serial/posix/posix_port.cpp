#include "serial/posix/posix_port.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "automation/error.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"
#include "serial/posix/line_rate.hpp"

namespace solvard::serial::posix {
namespace {

std::string systemError(int error) { return std::strerror(error); }

// Output waits this long at most for room in the device's transmit queue.
constexpr std::chrono::seconds kOutputLimit{2};

}  // namespace

PosixPort::PosixPort() = default;

PosixPort::PosixPort(std::string device) : device_(std::move(device)) {}

void PosixPort::failOpen(OpenFailure::Kind kind, const std::string& path,
                         const std::string& reason) {
  openFailure_ = OpenFailure{kind, path, reason};
  throw port_errors::portUnavailable(path + ": " + reason);
}

PosixPort::~PosixPort() {
  if (fd_ >= 0) close();
}

void PosixPort::requireOpen() const {
  if (fd_ < 0) throw port_errors::portNotOpen();
}

void PosixPort::requireClosed() const {
  if (fd_ >= 0) throw port_errors::portAlreadyOpen();
}

void PosixPort::PortOpen(bool open) {
  if (open) {
    requireClosed();
    this->open();
  } else if (fd_ >= 0) {
    close();
  }
}

void PosixPort::open() {
  using Kind = OpenFailure::Kind;
  const std::string path = device_.empty() ? portDevicePath(portNumber_) : device_;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    Kind kind = Kind::Other;
    if (error == ENOENT || error == ENODEV || error == ENXIO) kind = Kind::NotFound;
    if (error == EACCES || error == EPERM || error == EROFS) kind = Kind::PermissionDenied;
    if (error == EBUSY) kind = Kind::InUse;
    if (error == EISDIR) kind = Kind::NotATerminal;
    failOpen(kind, path, systemError(error));
  }
  auto fail = [&](Kind kind, const std::string& why) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    failOpen(kind, path, why);
  };
  if (!::isatty(fd)) fail(Kind::NotATerminal, "not a serial device");
  // Another program's exclusive hold makes the open above fail with EBUSY; another open of
  // ours (root is not stopped by TIOCEXCL) finds the lock taken.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) fail(Kind::InUse, "in use by another program");
  if (::ioctl(fd, TIOCEXCL) != 0) {
    fail(Kind::Other, "cannot be held exclusively: " + systemError(errno));
  }
  // A rate the device does not take fails the open: a port left at the rate it had before
  // would send the command at a speed the host did not ask for.
  std::optional<std::string> refusal;
  try {
    refusal = configure(fd);
  } catch (const automation::AutomationError& error) {
    refusal = error.description();
  }
  if (refusal) fail(Kind::SettingsRefused, *refusal);
  // DTR on, RTS off. Devices without modem lines (a pseudo-terminal) refuse both: harmless.
  int dtr = TIOCM_DTR;
  int rts = TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &dtr);
  ::ioctl(fd, TIOCMBIC, &rts);
  // Bytes that arrived while nobody had the port open belong to no exchange of ours.
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
  hungUp_ = false;
  openFailure_.reset();
  buffer_.clear();
}

void PosixPort::close() {
  // The exclusive mode belongs to the device, not to this descriptor: if another descriptor
  // (a pseudo-terminal's holder) keeps the device alive, it would stay locked for everyone.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  hungUp_ = false;
  buffer_.clear();
}

std::optional<std::string> PosixPort::configure(int fd) const {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) throw port_errors::portIoFailed(systemError(errno));
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
  tio.c_cflag &= ~CMSPAR;
#endif
  tio.c_cflag |= CLOCAL | CREAD | (line_.dataBits == 7 ? CS7 : CS8);
  switch (line_.parity) {
    case Parity::None: break;
    case Parity::Even: tio.c_cflag |= PARENB; break;
    case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
#ifdef CMSPAR
    case Parity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
#else
    default: throw automation::errors::invalidPropertyValue();
#endif
  }
  if (line_.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) throw port_errors::portIoFailed(systemError(errno));
  return setLineRate(fd, static_cast<uint32_t>(line_.baudRate));
}

void PosixPort::CommPort(int16_t number) {
  requireClosed();
  checkPortNumber(number);
  portNumber_ = number;
}

// Any positive rate is taken here; whether the device runs at it shows only once the port is
// open, where a refusal is raised and the device goes back to the settings it had.
void PosixPort::Settings(const std::string& text) {
  const LineSettings line = parseSettings(text);
#ifndef CMSPAR
  if (line.parity == Parity::Mark || line.parity == Parity::Space) {
    throw automation::errors::invalidPropertyValue();
  }
#endif
  if (fd_ < 0) {
    line_ = line;
    return;
  }
  const LineSettings previous = std::exchange(line_, line);
  const auto refusal = configure(fd_);
  if (!refusal) return;
  line_ = previous;
  (void)configure(fd_);
  throw automation::AutomationError(automation::errors::kInvalidPropertyValue,
                                    "Invalid property value: " + *refusal);
}

void PosixPort::InBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  inBufferSize_ = size;
}

void PosixPort::OutBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  outBufferSize_ = size;
}

// Binary and text input hand over the same bytes here: nothing is translated on the way in.
void PosixPort::InputMode(int16_t mode) { checkInputMode(mode); }

void PosixPort::drain() {
  uint8_t chunk[512];
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize_);
  while (!hungUp_ && buffer_.size() < capacity) {
    const std::size_t want = std::min(sizeof chunk, capacity - buffer_.size());
    const ssize_t n = ::read(fd_, chunk, want);
    if (n > 0) {
      buffer_.insert(buffer_.end(), chunk, chunk + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) hungUp_ = true;
    return;
  }
}

int PosixPort::InBufferCount() {
  requireOpen();
  drain();
  return static_cast<int>(buffer_.size());
}

void PosixPort::InBufferCount(int count) {
  if (count != 0) throw automation::errors::invalidPropertyValue();
  requireOpen();
  ::tcflush(fd_, TCIFLUSH);
  buffer_.clear();
}

void PosixPort::OutBufferCount(int count) {
  if (count != 0) throw automation::errors::invalidPropertyValue();
  requireOpen();
  if (::tcflush(fd_, TCOFLUSH) != 0) throw port_errors::portIoFailed(systemError(errno));
}

void PosixPort::InputLen(int length) {
  if (length < 0) throw automation::errors::invalidPropertyValue();
  inputLen_ = length;
}

Bytes PosixPort::Input() {
  requireOpen();
  drain();
  const std::size_t n =
      inputLen_ == 0 ? buffer_.size() : std::min<std::size_t>(inputLen_, buffer_.size());
  Bytes taken(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  return taken;
}

void PosixPort::Output(std::span<const uint8_t> bytes) {
  requireOpen();
  const auto deadline = std::chrono::steady_clock::now() + kOutputLimit;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      throw port_errors::portIoFailed(systemError(errno));
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd room{fd_, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&room, 1, static_cast<int>(left.count())) == 0) {
      throw port_errors::portIoFailed("transmit queue full");
    }
  }
}

void PosixPort::waitForInput(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  const bool full = buffer_.size() >= static_cast<std::size_t>(inBufferSize_);
  if (fd_ >= 0 && !hungUp_ && !full) {
    pollfd input{fd_, POLLIN, 0};
    const int ready = ::poll(&input, 1, static_cast<int>(limit.count()));
    if (ready <= 0 || (input.revents & POLLIN) != 0) return;
    // Hung up or in error without data: polling again would return at once, so sleep instead.
    hungUp_ = true;
  }
  std::this_thread::sleep_until(deadline);
}

}  // namespace solvard::serial::posix
