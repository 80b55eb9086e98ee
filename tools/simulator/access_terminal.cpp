#include "access_terminal.hpp"

#include <stdexcept>

namespace solvard::simulator {
namespace {

// The command codes of an access-control terminal this kind answers.
constexpr uint8_t kRecordPrompt = 0x01;
constexpr uint8_t kResetDelay = 0x02;
constexpr uint8_t kLockMode = 0x03;
constexpr uint8_t kOpenListEntry = 0x04;
constexpr uint8_t kOpenListDelete = 0x05;
constexpr uint8_t kDateAndWeek = 0x06;
constexpr uint8_t kTimeOfDay = 0x07;
constexpr uint8_t kLockOpenState = 0x08;
constexpr uint8_t kClearOpenRecord = 0x0A;
constexpr uint8_t kClearOpenList = 0x0B;
constexpr uint8_t kIdentity = 0x0C;
constexpr uint8_t kLockState = 0x10;
constexpr uint8_t kOpenLock = 0x11;

// The frames that carry a count of the bytes after byte 2, and that count.
int countFor(uint8_t code) {
  switch (code) {
    case kOpenListEntry: return 16;
    case kOpenListDelete: return 5;
    case kDateAndWeek: return 4;
    case kTimeOfDay: return 3;
    default: return -1;
  }
}

// Whether the frame is one this terminal takes: a known code, at its length, with the right
// count byte where it has one.
bool wellFormed(std::span<const uint8_t> frame) {
  if (frame.size() < 2 || frame.size() != accessControlFrameLength(frame)) return false;
  switch (frame[1]) {
    case kRecordPrompt:
    case kIdentity:
    case kResetDelay:
    case kLockMode:
    case kLockOpenState:
    case kClearOpenRecord:
    case kClearOpenList:
    case kLockState:
    case kOpenLock: return true;
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

constexpr std::size_t kRecordLength = 10;

// Ten decimal digits, two to a byte.
Bytes packedDigits(const std::string& digits) {
  if (digits.size() != 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
    throw std::invalid_argument("simulator: \"" + digits + "\" is not ten decimal digits");
  }
  Bytes bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>((digits[i] - '0') * 16 + (digits[i + 1] - '0')));
  }
  return bytes;
}

uint8_t packedValue(int value) {
  if (value < 0 || value > 99) {
    throw std::invalid_argument("simulator: " + std::to_string(value) + " is not two digits");
  }
  return static_cast<uint8_t>(value / 10 * 16 + value % 10);
}

}  // namespace

Bytes accessRecord(const std::string& card, int year, int month, int day, int hour, int minute) {
  Bytes record = packedDigits(card);
  for (int value : {year, month, day, hour, minute}) record.push_back(packedValue(value));
  return record;
}

void AccessTerminal::setIdentity(const std::string& tenDigits) {
  identity_ = packedDigits(tenDigits);
}

void AccessTerminal::setIdentityBytes(const Bytes& five) {
  if (five.size() != 5) throw std::invalid_argument("simulator: an identity is five bytes");
  identity_ = five;
}

void AccessTerminal::store(const Bytes& record) {
  if (record.size() != kRecordLength) {
    throw std::invalid_argument("simulator: an access record is ten bytes");
  }
  state_.records.push_back(record);
}

Bytes AccessTerminal::answerPrompt() {
  ++state_.prompts;
  // The prompt after a record is the host's only word that it has the record.
  if (state_.recordSent) {
    state_.acknowledged.push_back(std::move(state_.records.front()));
    state_.records.pop_front();
    state_.recordSent = false;
  }
  if (state_.records.empty()) return {machineNumber(), 1, 0};
  state_.recordSent = true;
  Bytes reply{machineNumber(), 1, 1};
  reply.insert(reply.end(), state_.records.front().begin(), state_.records.front().end());
  return reply;
}

Bytes AccessTerminal::answerIdentity() {
  ++state_.identityQueries;
  Bytes reply{machineNumber()};
  if (firstPieceOnly_) return reply;
  reply.push_back(identityFiller_);
  reply.insert(reply.end(), identity_.begin(), identity_.end());
  return reply;
}

AccessTerminal::AccessTerminal(uint8_t machine) : Terminal(TerminalKind::AccessControl, machine) {}

Bytes AccessTerminal::handle(std::span<const uint8_t> frame) {
  if (!wellFormed(frame)) return {};
  switch (frame[1]) {
    case kRecordPrompt: return answerPrompt();
    case kIdentity: return answerIdentity();
    case kResetDelay: state_.resetDelay = frame[2]; break;
    case kLockMode: state_.lockMode = frame[2]; break;
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
    case kOpenListDelete: state_.openList.erase(digitsOf(frame.subspan(3, 5))); break;
    case kDateAndWeek:
      state_.date = joined({frame[3], frame[4], frame[5]}, '-');
      state_.weekday = frame[6] >> 4;
      break;
    case kTimeOfDay: state_.time = joined({frame[3], frame[4], frame[5]}, ':'); break;
    case kLockOpenState: ++state_.lockOpenStateSet; break;
    case kClearOpenRecord: ++state_.openRecordsCleared; break;
    case kClearOpenList:
      state_.openList.clear();
      ++state_.openListCleared;
      break;
    case kLockState: ++state_.lockStateQueries; break;
    case kOpenLock: ++state_.lockOpened; break;
  }
  return acknowledge();
}

}  // namespace solvard::simulator
