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

#include "serial/port_errors.hpp"
#include "serial/posix/line_rate.hpp"

namespace solvard::serial::posix {
namespace {

std::string systemError(int error) { return std::strerror(error); }

// Output waits this long at most for room in the device's transmit queue.
constexpr std::chrono::seconds kOutputLimit{2};

}  // namespace

PosixPort::~PosixPort() { PortOpen(false); }

void PosixPort::openDevice(const std::string& path) {
  using Kind = OpenFailure::Kind;
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
  fd_ = fd;
  auto fail = [&](Kind kind, const std::string& why) {
    closeDevice();
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
  if (const auto refusal = settingsRefusal()) fail(Kind::SettingsRefused, *refusal);
  // DTR on, RTS off. Devices without modem lines (a pseudo-terminal) refuse both: harmless.
  int dtr = TIOCM_DTR;
  int rts = TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &dtr);
  ::ioctl(fd, TIOCMBIC, &rts);
  // Bytes that arrived while nobody had the port open belong to no exchange of ours.
  ::tcflush(fd, TCIFLUSH);
}

void PosixPort::closeDevice() {
  if (fd_ < 0) return;
  // The exclusive mode belongs to the device, not to this descriptor: if another descriptor
  // (a pseudo-terminal's holder) keeps the device alive, it would stay locked for everyone.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
}

// Mark and space parity need CMSPAR, which not every system's termios has.
void PosixPort::checkSettings([[maybe_unused]] const LineSettings& line) const {
#ifndef CMSPAR
  if (line.parity == Parity::Mark || line.parity == Parity::Space) {
    throw detail::Fault(detail::FaultKind::invalid_value);
  }
#endif
}

std::optional<std::string> PosixPort::applySettings(const LineSettings& line) {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) throw port_errors::portIoFailed(systemError(errno));
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
  tio.c_cflag &= ~CMSPAR;
#endif
  tio.c_cflag |= CLOCAL | CREAD | (line.dataBits == 7 ? CS7 : CS8);
  switch (line.parity) {
    case Parity::None: break;
    case Parity::Even: tio.c_cflag |= PARENB; break;
    case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
#ifdef CMSPAR
    case Parity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
#else
    default: throw detail::Fault(detail::FaultKind::invalid_value);
#endif
  }
  if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) throw port_errors::portIoFailed(systemError(errno));
  reportAt_ = 0;
  return setLineRate(fd_, static_cast<uint32_t>(line.baudRate));
}

PosixPort::Received PosixPort::readWaiting(std::span<uint8_t> room) {
  Received got;
  while (got.count < room.size()) {
    const ssize_t n = ::read(fd_, room.data() + got.count, room.size() - got.count);
    if (n > 0) {
      got.count += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    got.failed = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
    break;
  }
  return got;
}

void PosixPort::discardInput() { ::tcflush(fd_, TCIFLUSH); }

void PosixPort::discardOutput() {
  if (::tcflush(fd_, TCOFLUSH) != 0) throw port_errors::portIoFailed(systemError(errno));
}

void PosixPort::writeBytes(std::span<const uint8_t> bytes) {
  const auto deadline = Clock::now() + kOutputLimit;
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
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd room{fd_, POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&room, 1, static_cast<int>(left.count())) == 0) {
      throw port_errors::portIoFailed("transmit queue full");
    }
  }
}

// With VTIME 0, the terminal layer reports input to poll() only once VMIN bytes are in; reads
// stay non-blocking and take what there is. So a wait for a whole reply wakes once, when its
// last byte lands, instead of once a byte. The setting is changed only when the count does,
// and a device that refuses it simply keeps waking at each byte.
void PosixPort::expectBytes(std::size_t wanted) {
  const std::size_t at = std::min<std::size_t>(wanted, 255);
  if (at == std::max<std::size_t>(reportAt_, 1)) return;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return;
  tio.c_cc[VMIN] = static_cast<cc_t>(at);
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &tio) == 0) reportAt_ = at;
}

// poll() tells of input without taking it: nothing goes into the room. A poll that ends
// otherwise than by hang-up or error (a signal) also ends the wait, as callers wait in loops.
PosixPort::WaitEnd PosixPort::awaitInput(Clock::time_point deadline, std::span<uint8_t>,
                                         std::size_t&) {
  const auto limit = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  pollfd input{fd_, POLLIN, 0};
  const int ready = ::poll(&input, 1, static_cast<int>(std::max<long long>(limit.count(), 0)));
  if (ready <= 0 || (input.revents & POLLIN) != 0) return WaitEnd::Over;
  // Hung up or in error without data: polling again would return at once.
  return WaitEnd::Failed;
}

}  // namespace solvard::serial::posix
