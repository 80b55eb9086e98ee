#include "attend_terminal.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace solvard::simulator {
namespace {

// The command codes of an attendance terminal and the frame length each comes in.
constexpr uint8_t kDownloadRecords = 0x01;
constexpr uint8_t kClearRecords = 0x06;
constexpr uint8_t kSetTime = 0x08;
constexpr uint8_t kSetDate = 0x09;
constexpr uint8_t kSetFlowNo = 0x0A;
constexpr uint8_t kReadOriginalCardNo = 0x0B;
constexpr uint8_t kClearCardList = 0x0C;
constexpr uint8_t kDeleteCard = 0x0D;

std::size_t lengthFor(uint8_t code) {
  switch (code) {
    case kDownloadRecords:
    case kClearRecords:
    case kClearCardList:
    case kReadOriginalCardNo: return 3;
    case kDeleteCard:
    case kSetTime:
    case kSetDate: return 6;
    case kSetFlowNo: return 11;
    default: return 0;
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

constexpr std::size_t kRecordLength = 9;
constexpr uint8_t kEndMark = 0xAA;
constexpr std::size_t kMostRecords = 0xFFFF;

uint8_t packed(int value) { return static_cast<uint8_t>(value / 10 * 16 + value % 10); }

int daysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::vector<Bytes> sampleRecords(int count, uint32_t seed) {
  constexpr int kCards = 36;
  constexpr int kDayStart = 7 * 60 + 30;
  constexpr int kDayEnd = 18 * 60 + 30;
  uint32_t state = seed;
  auto next = [&](uint32_t range) {
    state = state * 1664525u + 1013904223u;  // a linear congruential step: the same every run
    return static_cast<int>((state >> 8) % range);
  };
  int year = 2001, month = 5, day = 7, weekday = 1;  // a Monday
  int minute = kDayStart;
  std::vector<Bytes> records;
  records.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    minute += next(7);
    if (minute > kDayEnd) {
      minute = kDayStart + next(10);
      do {
        weekday = weekday % 7 + 1;
        if (++day > daysIn(year, month)) {
          day = 1;
          if (++month > 12) month = 1, ++year;
        }
      } while (weekday > 5);
    }
    const int card = 102030 + 1117 * next(kCards);
    records.push_back({packed(card / 10000), packed(card / 100 % 100), packed(card % 100),
                       packed(year % 100), packed(month), packed(day), packed(minute / 60),
                       packed(minute % 60), kEndMark});
  }
  return records;
}

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

void AttendTerminal::storeRecords(std::vector<Bytes> records) {
  if (records.size() > kMostRecords) {
    throw std::invalid_argument("a terminal counts at most 65535 records");
  }
  for (const Bytes& record : records) {
    if (record.size() != kRecordLength) {
      throw std::invalid_argument("a stored record is 9 bytes, the end mark last");
    }
  }
  records_ = std::move(records);
}

Bytes AttendTerminal::downloadReply() {
  ++state_.downloads;
  const std::vector<DownloadFault> faults = std::exchange(downloadFaults_, {});
  const uint8_t machine = machineNumber();
  auto faultOn = [&](DownloadFault::Kind kind, int record) -> const DownloadFault* {
    for (const DownloadFault& fault : faults) {
      if (fault.kind == kind && (record == 0 || fault.record == record)) return &fault;
    }
    return nullptr;
  };
  if (faultOn(DownloadFault::Kind::CountNeverComes, 0)) return {machine};
  if (faultOn(DownloadFault::Kind::ReportsNone, 0)) return {machine, 0, 0};

  const std::size_t count = records_.size();
  Bytes reply{machine, static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count & 0xFF)};
  reply.reserve(3 + (count + 1) * (1 + kRecordLength));
  for (std::size_t i = 0; i < count; ++i) {
    const int number = static_cast<int>(i) + 1;
    const Bytes& record = records_[i];
    if (faultOn(DownloadFault::Kind::MissingRecord, number)) continue;
    if (faultOn(DownloadFault::Kind::BadEndMark, number)) {
      reply.push_back(machine);
      reply.insert(reply.end(), record.begin(), record.end() - 1);
      reply.push_back(static_cast<uint8_t>(~kEndMark));
    }
    const DownloadFault* other = faultOn(DownloadFault::Kind::OtherMachine, number);
    reply.push_back(other ? other->machine : machine);
    if (const DownloadFault* cut = faultOn(DownloadFault::Kind::ShortRecord, number)) {
      const std::size_t keep = std::min(cut->keep, kRecordLength);
      reply.insert(reply.end(), record.begin(), record.begin() + static_cast<std::ptrdiff_t>(keep));
      break;
    }
    reply.insert(reply.end(), record.begin(), record.end());
  }
  return reply;
}

Bytes AttendTerminal::handle(std::span<const uint8_t> frame) {
  if (frame.size() < 3 || frame.size() != lengthFor(frame[2])) return {};
  const std::span<const uint8_t> payload = frame.subspan(3);
  switch (frame[2]) {
    case kDownloadRecords: return downloadReply();
    case kClearRecords:
      ++state_.recordsCleared;
      records_.clear();
      return acknowledge();
    case kClearCardList: ++state_.cardListCleared; return acknowledge();
    case kDeleteCard: state_.deletedCards.push_back(packedDigits(payload)); return acknowledge();
    case kSetFlowNo:
      state_.flowNumbers[packedDigits(payload.first(5))] = packedDigits(payload.subspan(5));
      return acknowledge();
    case kSetTime: state_.time = joinedPairs(payload, ':'); return acknowledge();
    case kSetDate: state_.date = joinedPairs(payload, '-'); return acknowledge();
    case kReadOriginalCardNo: {
      Bytes reply{machineNumber()};
      reply.insert(reply.end(), filler_.begin(), filler_.end());
      reply.insert(reply.end(), originalCardNo_.begin(), originalCardNo_.end());
      return reply;
    }
    default: return {};
  }
}

}  // namespace solvard::simulator
