#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "automation/error.hpp"

namespace solvard::ui {

// The texts of a language module by string id.
using StringTable = std::map<int32_t, std::string>;

// A language file that cannot be read or does not parse is refused with this error number
// ("Invalid procedure call or argument"); the description names the file and, for a file that
// does not parse, the line.
inline constexpr int32_t kLanguageFileError = automation::errors::kInvalidCall;

// Reads the string tables of a resource script, so that the file that builds the Windows
// resource module serves the Linux build unchanged. The file is UTF-8 (a byte order mark is
// skipped). Read:
// - `STRINGTABLE` blocks, keywords in any case, optionally followed by the attribute words
//   (DISCARDABLE, PRELOAD, ...) and LANGUAGE / CHARACTERISTICS / VERSION statements, then
//   `BEGIN` ... `END` or `{` ... `}`; LANGUAGE statements between blocks;
// - entries `<id>[,] "text"`, the id decimal or 0x hexadecimal, 0 to 65535, each id once; a text
//   may be written L"text"; a text ends on its line;
// - escapes \n \t \r \\ \" \xHH \ooo (octal, up to three digits) and "" for a quote;
// - `//` and `/* */` comments; `#include`, `#define`, `#undef` and `#pragma` lines are passed
//   over (the texts are always taken as UTF-8, whatever code page a pragma names).
// Anything else (another resource, a symbolic id, a conditional directive) is refused rather than
// misread.
StringTable parseStringTable(std::string_view source, const std::string& fileName);

// Reads and parses the file.
StringTable readStringTable(const std::filesystem::path& file);

}  // namespace solvard::ui
