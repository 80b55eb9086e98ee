#include "access_terminal.hpp"

namespace solvard::simulator {
namespace {

// The command codes of an access-control terminal this kind answers.
constexpr uint8_t kResetDelay = 0x02;
constexpr uint8_t kLockMode = 0x03;
constexpr uint8_t kOpenListEntry = 0x04;
constexpr uint8_t kOpenListDelete = 0x05;
constexpr uint8_t kDateAndWeek = 0x06;
constexpr uint8_t kTimeOfDay = 0x07;
constexpr uint8_t kLockOpenState = 0x08;
constexpr uint8_t kClearOpenRecord = 0x0A;
constexpr uint8_t kClearOpenList = 0x0B;
constexpr uint8_t kLockState = 0x10;
constexpr uint8_t kOpenLock = 0x11;

// The frames that carry a count of the bytes after byte 2, and that count.
int countFor(uint8_t code) {
  switch (code) {
    case kOpenListEntry:
      return 16;
    case kOpenListDelete:
      return 5;
    case kDateAndWeek:
      return 4;
    case kTimeOfDay:
      return 3;
    default:
      return -1;
  }
}

// Whether the frame is one this terminal takes: a known code, at its length, with the right
// count byte where it has one.
bool wellFormed(std::span<const uint8_t> frame) {
  if (frame.size() < 2 || frame.size() != accessControlFrameLength(frame)) return false;
  switch (frame[1]) {
    case kResetDelay:
    case kLockMode:
    case kLockOpenState:
    case kClearOpenRecord:
    case kClearOpenList:
    case kLockState:
    case kOpenLock:
      return true;
    default: {
      const int count = countFor(frame[1]);
      return count >= 0 && frame[2] == count;
    }
  }
}

std::string digitsOf(std::span<const uint8_t> bytes) {
  static constexpr char kHalves[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : bytes) {
    text += kHalves[byte >> 4];
    text += kHalves[byte & 0x0F];
  }
  return text;
}

// Packed pairs joined: "01-06-29", "13:05:09".
std::string joined(std::initializer_list<uint8_t> pairs, char separator) {
  std::string text;
  for (uint8_t pair : pairs) {
    if (!text.empty()) text += separator;
    text += digitsOf(std::span<const uint8_t>(&pair, 1));
  }
  return text;
}

}  // namespace

AccessTerminal::AccessTerminal(uint8_t machine) : Terminal(TerminalKind::AccessControl, machine) {}

Bytes AccessTerminal::handle(std::span<const uint8_t> frame) {
  if (!wellFormed(frame)) return {};
  switch (frame[1]) {
    case kResetDelay:
      state_.resetDelay = frame[2];
      break;
    case kLockMode:
      state_.lockMode = frame[2];
      break;
    case kOpenListEntry: {
      // Each date and time pair of the window comes end first; the weekday byte start first.
      const auto f = frame;
      state_.openList[digitsOf(f.subspan(3, 5))] =
          Window{.firstDay = joined({f[9], f[11], f[13]}, '-'),
                 .lastDay = joined({f[8], f[10], f[12]}, '-'),
                 .firstTime = joined({f[15], f[17]}, ':'),
                 .lastTime = joined({f[14], f[16]}, ':'),
                 .startWeekday = f[18] >> 4,
                 .endWeekday = f[18] & 0x0F};
      break;
    }
    case kOpenListDelete:
      state_.openList.erase(digitsOf(frame.subspan(3, 5)));
      break;
    case kDateAndWeek:
      state_.date = joined({frame[3], frame[4], frame[5]}, '-');
      state_.weekday = frame[6] >> 4;
      break;
    case kTimeOfDay:
      state_.time = joined({frame[3], frame[4], frame[5]}, ':');
      break;
    case kLockOpenState:
      ++state_.lockOpenStateSet;
      break;
    case kClearOpenRecord:
      ++state_.openRecordsCleared;
      break;
    case kClearOpenList:
      state_.openList.clear();
      ++state_.openListCleared;
      break;
    case kLockState:
      ++state_.lockStateQueries;
      break;
    case kOpenLock:
      ++state_.lockOpened;
      break;
  }
  return acknowledge();
}

}  // namespace solvard::simulator
