// The kernel's own terminal declarations, not the C library's <termios.h>: only they carry
// termios2 and BOTHER.
#include "serial/posix/line_rate.hpp"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace solvard::serial::posix {

std::optional<std::string> setLineRate(int fd, uint32_t baudRate) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return std::strerror(errno);
  // BOTHER in both the output and the input field: the rates are the numbers below.
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baudRate;
  tio.c_ospeed = baudRate;
  if (::ioctl(fd, TCSETS2, &tio) != 0) return std::strerror(errno);
  termios2 now{};
  if (::ioctl(fd, TCGETS2, &now) != 0) return std::strerror(errno);
  if (!runsAt(baudRate, now.c_ospeed) || !runsAt(baudRate, now.c_ispeed)) {
    return "the device does not take " + std::to_string(baudRate) + " baud (it reports " +
           std::to_string(now.c_ospeed) + ")";
  }
  return std::nullopt;
}

std::optional<uint32_t> lineRate(int fd) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return std::nullopt;
  return tio.c_ospeed;
}

bool runsAt(uint32_t asked, uint32_t reported) {
  const uint32_t apart = asked > reported ? asked - reported : reported - asked;
  return apart <= asked / 50;
}

}  // namespace solvard::serial::posix
