#include "text/wide_text.hpp"

namespace solvard::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return byte >= low && byte <= high;
}

// The code point of the well-formed sequence at `pos` (Unicode's table 3-7), advancing `pos`
// past it; nothing, `pos` unmoved, when the bytes there are not one.
std::optional<char32_t> decode(std::string_view text, std::size_t& pos) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const std::size_t left = text.size() - pos;
  const unsigned char lead = at(0);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // below is overlong
    if (lead == 0xED) high = 0x9F;  // above are the surrogates' codes
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // below is overlong
    if (lead == 0xF4) high = 0x8F;  // above is beyond U+10FFFF
  } else {
    return std::nullopt;
  }
  if (left < length || !isContinuation(at(1), low, high)) return std::nullopt;
  code = (code << 6) | (at(1) & 0x3F);
  for (std::size_t i = 2; i < length; ++i) {
    if (!isContinuation(at(i))) return std::nullopt;
    code = (code << 6) | (at(i) & 0x3F);
  }
  pos += length;
  return code;
}

void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Converts, stopping at the first unpaired surrogate unless `lenient`.
std::optional<std::string> convert(std::u16string_view text, bool lenient, std::size_t* badUnit) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    char32_t code = unit;
    if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00);
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      if (!lenient) {
        if (badUnit != nullptr) *badUnit = i;
        return std::nullopt;
      }
      code = kReplacement;
    }
    appendUtf8(out, code);
  }
  return out;
}

}  // namespace

std::optional<std::u16string> utf16Of(std::string_view utf8, std::size_t* badByte) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const auto code = decode(utf8, pos);
    if (!code) {
      if (badByte != nullptr) *badByte = pos;
      return std::nullopt;
    }
    if (*code < 0x10000) {
      out += static_cast<char16_t>(*code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((*code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((*code - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::optional<std::string> utf8Of(std::u16string_view utf16, std::size_t* badUnit) {
  return convert(utf16, false, badUnit);
}

std::string utf8OfLenient(std::u16string_view utf16) { return *convert(utf16, true, nullptr); }

}  // namespace solvard::text
