// The session's JSON reader, on lines a host (or anyone who can write to the session) sends.
// A line is either refused with a JsonError or read into a value whose text, as the writer
// gives it, is well-formed UTF-8 and reads back to the same value.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "json.hpp"
#include "text/utf8.hpp"

namespace {

[[noreturn]] void broken() { __builtin_trap(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  solvard::tool::Json value;
  try {
    value = solvard::tool::Json::parse(line);
  } catch (const solvard::tool::JsonError&) {
    return 0;
  }
  const std::string written = value.dump();
  if (solvard::text::firstMalformedByte(written) != std::string_view::npos) broken();
  // One value per line: the writer never breaks a line.
  if (written.find('\n') != std::string::npos) broken();
  solvard::tool::Json again;
  try {
    again = solvard::tool::Json::parse(written);
  } catch (const solvard::tool::JsonError&) {
    broken();
  }
  if (again.dump() != written) broken();
  return 0;
}
