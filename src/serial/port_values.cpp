#include "serial/port_values.hpp"

#include <charconv>
#include <string_view>
#include <vector>

#include "values/fault.hpp"

namespace solvard::serial {
namespace {

std::vector<std::string_view> splitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

// Digits only, the whole field, no sign and no blanks.
bool readNumber(std::string_view field, int32_t& value) {
  if (field.empty() || field.front() < '0' || field.front() > '9') return false;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  return ec == std::errc() && end == field.data() + field.size();
}

bool readParity(std::string_view field, Parity& parity) {
  if (field.size() != 1) return false;
  switch (field.front()) {
    case 'N':
    case 'n': parity = Parity::None; return true;
    case 'E':
    case 'e': parity = Parity::Even; return true;
    case 'O':
    case 'o': parity = Parity::Odd; return true;
    case 'M':
    case 'm': parity = Parity::Mark; return true;
    case 'S':
    case 's': parity = Parity::Space; return true;
    default: return false;
  }
}

}  // namespace

LineSettings parseSettings(const std::string& text) {
  const auto fields = splitFields(text);
  LineSettings settings;
  int32_t dataBits = 0;
  int32_t stopBits = 0;
  const bool parsed = fields.size() == 4 && readNumber(fields[0], settings.baudRate) &&
                      settings.baudRate > 0 && readParity(fields[1], settings.parity) &&
                      readNumber(fields[2], dataBits) && (dataBits == 7 || dataBits == 8) &&
                      readNumber(fields[3], stopBits) && (stopBits == 1 || stopBits == 2);
  if (!parsed) throw detail::Fault(detail::FaultKind::invalid_value);
  settings.dataBits = dataBits;
  settings.stopBits = stopBits;
  return settings;
}

void checkPortNumber(int16_t number) {
  if (number <= 0) throw detail::Fault(detail::FaultKind::invalid_port_number);
}

void checkBufferSize(int16_t size) {
  if (size <= 0) throw detail::Fault(detail::FaultKind::invalid_value);
}

void checkInputMode(int16_t mode) {
  if (mode != 0 && mode != 1) throw detail::Fault(detail::FaultKind::invalid_value);
}

}  // namespace solvard::serial
