#include "serial/posix/baud_rates.hpp"

#include <array>
#include <utility>

namespace solvard::serial::posix {

std::optional<speed_t> speedFor(int32_t baudRate) {
  static constexpr std::pair<int32_t, speed_t> kRates[] = {
      {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
      {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
      {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
      {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
      {460800, B460800},
#endif
#ifdef B921600
      {921600, B921600},
#endif
  };
  for (const auto& [rate, speed] : kRates) {
    if (rate == baudRate) return speed;
  }
  return std::nullopt;
}

}  // namespace solvard::serial::posix
