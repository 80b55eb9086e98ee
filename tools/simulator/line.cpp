#include "line.hpp"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace solvard::simulator {
namespace {

[[noreturn]] void fail(const std::string& what) {
  throw std::runtime_error("simulator: " + what + ": " + std::strerror(errno));
}

speed_t speedFor(int32_t baudRate) {
  switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: throw std::invalid_argument("simulator: unsupported baud rate");
  }
}

void makeRaw(int fd, speed_t speed) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) fail("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) fail("tcsetattr");
}

}  // namespace

Line::~Line() { close(); }

int32_t Line::currentBaudRate() const {
  termios tio{};
  // The slave's settings are the ones the library and a device server change.
  const int fd = slaveFd_ >= 0 ? slaveFd_ : fd_;
  if (fd < 0 || ::tcgetattr(fd, &tio) != 0) return 0;
  const speed_t speed = ::cfgetospeed(&tio);
  for (const int32_t rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
    if (speedFor(rate) == speed) return rate;
  }
  return 0;
}

void Line::createPseudoTerminal(const std::string& linkPath) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) fail("posix_openpt");
  fd_ = master;
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0) fail("unlockpt");
  char name[128];
  if (::ptsname_r(master, name, sizeof name) != 0) fail("ptsname");
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slaveFd_ < 0) fail(std::string("open ") + name);
  makeRaw(master, B9600);
  makeRaw(slaveFd_, B9600);
  path_ = name;
  if (!linkPath.empty()) {
    try {
      link_.publish(linkPath, name);
    } catch (...) {
      close();
      throw;
    }
    path_ = linkPath;
  }
}

void Line::openDevice(const std::string& path, int32_t baudRate) {
  const speed_t speed = speedFor(baudRate);
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) fail("open " + path);
  makeRaw(fd_, speed);
  path_ = path;
}

void Line::close() {
  link_.release();
  if (slaveFd_ >= 0) ::close(slaveFd_);
  if (fd_ >= 0) ::close(fd_);
  slaveFd_ = fd_ = -1;
}

void Line::write(std::span<const uint8_t> bytes) {
  constexpr auto kNoRoomLimit = std::chrono::seconds(1);
  auto giveUpAt = std::chrono::steady_clock::now() + kNoRoomLimit;
  std::size_t done = 0;
  while (done < bytes.size() && fd_ >= 0) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      giveUpAt = std::chrono::steady_clock::now() + kNoRoomLimit;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (std::chrono::steady_clock::now() >= giveUpAt) return;
      pollfd room{fd_, POLLOUT, 0};
      ::poll(&room, 1, 100);
    } else if (n < 0 && errno != EINTR) {
      return;  // the other side is gone; a reply nobody reads is lost as on a real line
    }
  }
}

void sleepUntil(TimePoint when) {
  const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  timespec at{};
  at.tv_sec = static_cast<time_t>(since.count() / 1'000'000'000);
  at.tv_nsec = static_cast<long>(since.count() % 1'000'000'000);
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

}  // namespace solvard::simulator
