// The date and time texts hosts pass as arguments (AdjustTime, dates given as text, values
// formatted by pattern). A text is read as a real date and time or not at all; what it reads as
// is written out and read again to the same value, and its date number leads back to it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/date.hpp"
#include "automation/error.hpp"
#include "automation/variant.hpp"

using namespace solvard::automation;

namespace {

[[noreturn]] void broken() { __builtin_trap(); }
void require(bool holds) {
  if (!holds) broken();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  if (const auto value = parseDateTime(text)) {
    require(value->isValid());
    const std::string written = dateText(*value) + " " + timeText(*value);
    require(parseDateTime(written) == *value);
    require(DateTime::fromSerial(value->toSerial()) == *value);
    if (!textHasTime(text)) require(value->hour == 0 && value->minute == 0 && value->second == 0);
  }

  // The conversions a late-bound argument goes through: a failure is an automation error.
  const Variant argument(text);
  try {
    switch (choice % 6) {
      case 0: {
        const DateTime date = toDate(argument);
        require(date.isValid());
        break;
      }
      case 1: (void)isDate(argument); break;
      case 2: {
        const double number = toDouble(argument);
        require(!std::isnan(number));
        (void)toInt16(argument);
        (void)toInt32(argument);
        (void)toByte(argument);
        break;
      }
      case 3: (void)toBool(argument); break;
      case 4: {
        // The pattern from the text's first half, applied to its second half read as a date.
        const std::size_t half = text.size() / 2;
        (void)format(Variant(text.substr(half)), text.substr(0, half));
        break;
      }
      default: {
        const double serial = std::ldexp(static_cast<double>(size), choice % 40);
        (void)format(Variant(DateTime::fromSerial(serial)), text);
        (void)toText(Variant(serial));
        break;
      }
    }
  } catch (const AutomationError&) {
  }
  return 0;
}
