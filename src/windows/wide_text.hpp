#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace solvard::windows {

// Hosts hand the library UTF-16 (BSTRs, names); the core speaks UTF-8. The conversions are the
// core's (text/wide_text.hpp), made lenient for a host's text. A lone surrogate, which
// UTF-16 text from a script may hold, becomes U+FFFD rather than an ill-formed UTF-8 sequence;
// a malformed UTF-8 byte likewise becomes U+FFFD on the way out.
std::string utf8FromUtf16(std::wstring_view text);
std::wstring utf16FromUtf8(std::string_view text);

// A BSTR carries its length: embedded NULs count, and a null BSTR is the empty text.
std::string utf8FromBstr(BSTR text);
// A new BSTR the caller owns; throws std::bad_alloc when the system has no memory for it.
BSTR bstrFromUtf8(std::string_view text);

}  // namespace solvard::windows
