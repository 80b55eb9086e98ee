#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "automation/date.hpp"

namespace solvard::automation {

// The automation types the interface speaks.
enum class VarType { Empty, Int16, Int32, Double, Bool, Text, Date };

// The component's boolean: true is -1, false is 0.
inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

// One automation value (a variant). Typed parameters hold the matching alternative.
class Variant {
 public:
  Variant() = default;
  Variant(int16_t v) : value_(v) {}
  Variant(int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(DateTime v) : value_(v) {}

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool isEmpty() const { return type() == VarType::Empty; }

  template <typename T>
  const T& get() const {
    return std::get<T>(value_);
  }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<std::monostate, int16_t, int32_t, double, bool, std::string, DateTime> value_;
};

// Conversions, with the automation run-time errors where a value does not convert:
// 13 "Type mismatch" for text that is not a number (or a date), 6 "Overflow" for a number
// out of the target's range. Numbers with fractions round half to even, as automation does.
double toDouble(const Variant& v);
int16_t toInt16(const Variant& v);
int32_t toInt32(const Variant& v);
// A byte with range check: values outside 0 to 255 raise 6 "Overflow".
uint8_t toByte(const Variant& v);
bool toBool(const Variant& v);
// A date reads "HH:mm:ss" on 1899-12-30 (a time alone), "yyyy-MM-dd" at midnight of any other
// day, else both joined by a space. A double reads in its shortest exact form, with an exponent
// only below 1E-04 and from 1E+15 on.
std::string toText(const Variant& v);
// Text must read as a date (see parseDateTime); numbers go through the serial number, and one
// outside the years 100 to 9999 raises 6 "Overflow".
DateTime toDate(const Variant& v);

// Text that reads as a number: optional sign, digits, optional fraction, optional exponent,
// surrounding blanks allowed.
bool isNumeric(const Variant& v);
bool isDate(const Variant& v);

// Formatting by pattern: "yyyy-MM-dd", "hh:mm:ss", "00" and the zero-padding numeric patterns
// such as "000000" and "0000000000". A numeric pattern rounds a number (or text that reads as a
// number) to a whole number, half away from zero, and pads it on the left to the pattern's
// width, keeping more digits whole; text that does not read as a number comes back unchanged.
// An empty value gives the empty text; any other pattern raises 5 "Invalid procedure call or
// argument".
std::string format(const Variant& v, std::string_view pattern);

}  // namespace solvard::automation
