#include "serial/win32/comm_config.hpp"

#include <algorithm>

namespace solvard::serial::win32 {

CommLine commLine(const LineSettings& settings) {
  CommLine line;
  line.baudRate = static_cast<uint32_t>(settings.baudRate);
  line.byteSize = static_cast<uint8_t>(settings.dataBits);
  switch (settings.parity) {
    case Parity::None: line.parity = CommLine::kNoParity; break;
    case Parity::Odd: line.parity = CommLine::kOddParity; break;
    case Parity::Even: line.parity = CommLine::kEvenParity; break;
    case Parity::Mark: line.parity = CommLine::kMarkParity; break;
    case Parity::Space: line.parity = CommLine::kSpaceParity; break;
  }
  line.stopBits = settings.stopBits == 2 ? CommLine::kTwoStopBits : CommLine::kOneStopBit;
  return line;
}

CommTimeouts immediateReads() {
  CommTimeouts timeouts;
  timeouts.readInterval = CommTimeouts::kMaxDword;
  timeouts.writeTotalConstant = static_cast<uint32_t>(kOutputLimit.count());
  return timeouts;
}

CommTimeouts waitingReads(std::chrono::milliseconds slice) {
  CommTimeouts timeouts = immediateReads();
  timeouts.readTotalMultiplier = CommTimeouts::kMaxDword;
  const auto most = static_cast<std::chrono::milliseconds::rep>(CommTimeouts::kMaxDword - 1);
  timeouts.readTotalConstant =
      static_cast<uint32_t>(std::clamp<std::chrono::milliseconds::rep>(slice.count(), 1, most));
  return timeouts;
}

bool runsAt(uint32_t asked, uint32_t reported) {
  const uint32_t apart = asked > reported ? asked - reported : reported - asked;
  return apart <= asked / 50;
}

}  // namespace solvard::serial::win32
