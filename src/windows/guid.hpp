#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace solvard::windows {

// The core keeps the library's identifiers as registry text ("{XXXXXXXX-XXXX-...}"); COM wants
// them as GUIDs. Nothing but that exact form reads.
std::optional<GUID> parseGuid(std::string_view text);
// For identifiers the library itself defines: a malformed one is a build fault, so it aborts.
GUID guidOf(std::string_view text);
std::wstring guidText(const GUID& guid);

}  // namespace solvard::windows
