#include "terminal.hpp"

#include <algorithm>

namespace solvard::simulator {

std::size_t attendanceFrameLength(std::span<const uint8_t> head) {
  if (head.size() < 2) return 0;
  return std::max<std::size_t>(2, 1 + head[1]);
}

std::size_t accessControlFrameLength(std::span<const uint8_t> head) {
  if (head.size() < 2) return 0;
  switch (head[1]) {
    case 2:
    case 3: return 3;
    case 4: return 19;
    case 5: return 8;
    case 6: return 7;
    case 7: return 6;
    default:  // 1, 8, 10, 11, 12, 16, 17 and codes no terminal knows
      return 2;
  }
}

std::size_t Terminal::frameLength(std::span<const uint8_t> head) const {
  return kind_ == TerminalKind::Attendance ? attendanceFrameLength(head)
                                           : accessControlFrameLength(head);
}

}  // namespace solvard::simulator
