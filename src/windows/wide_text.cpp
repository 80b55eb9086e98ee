#include "windows/wide_text.hpp"

#include <new>

#include "text/utf8.hpp"
#include "text/wide_text.hpp"

namespace solvard::windows {
namespace {

// MinGW's wchar_t is UTF-16, as char16_t is.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

// The text with each malformed byte replaced by U+FFFD, by the core's own reading of UTF-8.
std::string wellFormed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    const char32_t cp = text::nextCodePoint(text, pos);
    const bool replaced = cp == 0xFFFD && text.substr(start, pos - start) != kReplacementUtf8;
    if (replaced) {
      out += kReplacementUtf8;
    } else {
      out += text.substr(start, pos - start);
    }
  }
  return out;
}

}  // namespace

std::string utf8FromUtf16(std::wstring_view text) {
  return text::utf8OfLenient(
      std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::wstring utf16FromUtf8(std::string_view text) {
  std::optional<std::u16string> wide = text::utf16Of(text);
  if (!wide) wide = text::utf16Of(wellFormed(text));
  if (!wide) return {};  // cannot happen: wellFormed leaves nothing to refuse
  return std::wstring(reinterpret_cast<const wchar_t*>(wide->data()), wide->size());
}

std::string utf8FromBstr(BSTR text) {
  if (text == nullptr) return {};
  return utf8FromUtf16(std::wstring_view(text, SysStringLen(text)));
}

BSTR bstrFromUtf8(std::string_view text) {
  std::wstring wide = utf16FromUtf8(text);
  BSTR out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (out == nullptr) throw std::bad_alloc();
  return out;
}

}  // namespace solvard::windows
