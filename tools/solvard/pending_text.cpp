#include "pending_text.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <string_view>

namespace solvard::tool {
namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr std::size_t kRecordLength = 10;

// CRC-32 with the reflected polynomial 0xEDB88320 (as in zip and PNG), table-free: the file
// holds a few lines.
uint32_t crc32(std::string_view text) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : text) {
    crc ^= static_cast<uint8_t>(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string hex8(uint32_t value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHex[value & 15];
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The next field up to a single space; false when there is none or it is empty.
bool nextField(std::string_view& rest, std::string_view& field) {
  const std::size_t space = rest.find(' ');
  if (space == 0 || space == std::string_view::npos) return false;
  field = rest.substr(0, space);
  rest.remove_prefix(space + 1);
  return true;
}

bool readMachine(std::string_view text, int16_t& machine) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 255)
    return false;
  machine = static_cast<int16_t>(value);
  return true;
}

bool readBytes(std::string_view hex, std::vector<uint8_t>& bytes) {
  if (hex.size() != 2 * kRecordLength) return false;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = hexValue(hex[i]);
    const int low = hexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

bool isWord(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (const char c : text) {
    if (c <= ' ' || c == 0x7F) return false;
  }
  return true;
}

bool hasControl(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

std::string recordFields(const KeptRecord& record) {
  std::string text = std::to_string(record.machineNo) + ' ';
  for (const uint8_t byte : record.record) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text + ' ' + record.occurrence + ' ' + (record.marker.empty() ? "-" : record.marker);
}

// "<machine> <hex> <identity> <transaction or -> <checksum> <device>"
std::optional<KeptRecord> readLine(std::string_view line) {
  KeptRecord record;
  std::string_view rest = line, machine, hex, occurrence, marker, checksum;
  if (!nextField(rest, machine) || !nextField(rest, hex) || !nextField(rest, occurrence) ||
      !nextField(rest, marker) || !nextField(rest, checksum) || rest.empty() || hasControl(rest) ||
      !readMachine(machine, record.machineNo) || !readBytes(hex, record.record) ||
      !isWord(occurrence) || !isWord(marker)) {
    return std::nullopt;
  }
  record.occurrence = occurrence;
  if (marker != "-") record.marker = marker;
  record.line = rest;
  if (checksum != hex8(crc32(recordFields(record) + ' ' + record.line))) return std::nullopt;
  return record;
}

// An earlier release's "<machine> <hex> <device>".
std::optional<KeptRecord> readEarlierLine(std::string_view line) {
  KeptRecord record;
  std::string_view rest = line, machine, hex;
  if (!nextField(rest, machine) || !nextField(rest, hex) || rest.empty() || hasControl(rest) ||
      !readMachine(machine, record.machineNo) || !readBytes(hex, record.record)) {
    return std::nullopt;
  }
  record.line = rest;
  record.occurrence = kKeptByEarlierRelease;
  return record;
}

}  // namespace

PendingRead readPendingText(const std::string& text) {
  PendingRead read;
  bool headed = false;
  std::size_t number = 0;
  std::string_view rest = text;
  while (!rest.empty()) {
    ++number;
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) {
      read.damage = "line " + std::to_string(number) + " is cut short (it has no line end)";
      return read;
    }
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (number == 1 && line == kPendingHeader) {
      headed = true;
      continue;
    }
    const auto record = headed ? readLine(line) : readEarlierLine(line);
    if (!record) {
      read.damage = "line " + std::to_string(number) +
                    (headed ? " is not a whole kept record (or fails its checksum)"
                            : " is not a kept record");
      return read;
    }
    read.records.push_back(*record);
  }
  return read;
}

std::string pendingLineProblem(const KeptRecord& record) {
  if (record.record.size() != kRecordLength) return "the record is not ten bytes";
  if (record.line.empty() || hasControl(record.line))
    return "the line's device name is empty or holds a control character";
  if (!isWord(record.occurrence)) return "the record's identity is not one word";
  if (!record.marker.empty() && (!isWord(record.marker) || record.marker == "-"))
    return "the record's transaction is not one word";
  if (record.machineNo < 0 || record.machineNo > 255) return "the machine number is not 0 to 255";
  return {};
}

std::string writePendingText(const std::vector<KeptRecord>& records) {
  std::string text = std::string(kPendingHeader) + '\n';
  for (const KeptRecord& record : records) {
    const std::string fields = recordFields(record);
    text += fields + ' ' + hex8(crc32(fields + ' ' + record.line)) + ' ' + record.line + '\n';
  }
  return text;
}

}  // namespace solvard::tool
