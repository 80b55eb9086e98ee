#include "attend_terminal.hpp"

#include <algorithm>
#include <stdexcept>

namespace solvard::simulator {
namespace {

// The command codes of an attendance terminal and the frame length each comes in.
constexpr uint8_t kClearRecords = 0x06;
constexpr uint8_t kSetTime = 0x08;
constexpr uint8_t kSetDate = 0x09;
constexpr uint8_t kSetFlowNo = 0x0A;
constexpr uint8_t kReadOriginalCardNo = 0x0B;
constexpr uint8_t kClearCardList = 0x0C;
constexpr uint8_t kDeleteCard = 0x0D;

std::size_t lengthFor(uint8_t code) {
  switch (code) {
    case kClearRecords:
    case kClearCardList:
    case kReadOriginalCardNo:
      return 3;
    case kDeleteCard:
    case kSetTime:
    case kSetDate:
      return 6;
    case kSetFlowNo:
      return 11;
    default:
      return 0;
  }
}

// Three digit pairs joined: "01-06-29", "09:48:32".
std::string joinedPairs(std::span<const uint8_t> pairs, char separator) {
  std::string text;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (i > 0) text += separator;
    text += packedDigits(pairs.subspan(i, 1));
  }
  return text;
}

}  // namespace

std::string packedDigits(std::span<const uint8_t> bytes) {
  static constexpr char kHalves[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t byte : bytes) {
    text += kHalves[byte >> 4];
    text += kHalves[byte & 0x0F];
  }
  return text;
}

AttendTerminal::AttendTerminal(uint8_t machine, std::string originalCardNo)
    : Terminal(TerminalKind::Attendance, machine) {
  setOriginalCardNo(originalCardNo);
}

void AttendTerminal::setOriginalCardNo(const std::string& tenDigits) {
  const bool digits =
      std::all_of(tenDigits.begin(), tenDigits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (tenDigits.size() != 10 || !digits) {
    throw std::invalid_argument("an original card number is ten decimal digits");
  }
  originalCardNo_.clear();
  for (std::size_t i = 0; i < 10; i += 2) {
    originalCardNo_.push_back(
        static_cast<uint8_t>((tenDigits[i] - '0') * 16 + (tenDigits[i + 1] - '0')));
  }
}

Bytes AttendTerminal::handle(std::span<const uint8_t> frame) {
  if (frame.size() < 3 || frame.size() != lengthFor(frame[2])) return {};
  const std::span<const uint8_t> payload = frame.subspan(3);
  switch (frame[2]) {
    case kClearRecords:
      ++state_.recordsCleared;
      return acknowledge();
    case kClearCardList:
      ++state_.cardListCleared;
      return acknowledge();
    case kDeleteCard:
      state_.deletedCards.push_back(packedDigits(payload));
      return acknowledge();
    case kSetFlowNo:
      state_.flowNumbers[packedDigits(payload.first(5))] = packedDigits(payload.subspan(5));
      return acknowledge();
    case kSetTime:
      state_.time = joinedPairs(payload, ':');
      return acknowledge();
    case kSetDate:
      state_.date = joinedPairs(payload, '-');
      return acknowledge();
    case kReadOriginalCardNo: {
      Bytes reply{machineNumber()};
      reply.insert(reply.end(), filler_.begin(), filler_.end());
      reply.insert(reply.end(), originalCardNo_.begin(), originalCardNo_.end());
      return reply;
    }
    default:
      return {};
  }
}

}  // namespace solvard::simulator
