#pragma once

#include <string>
#include <string_view>

namespace solvard::tool {

// Why a text the operator gives (a line's or a terminal's name, a port, a connection text) cannot
// be taken: "contains a control character (\n): give printable text", the first such character
// written as an escape; empty when it has none. A control character would split the journal's
// lines, cut a name short at a NUL in the database (two lines of different names would then
// share one), or reach the device's name.
std::string controlCharacterProblem(std::string_view text);

// The text with each control character written as an escape (\n, \r, \t, else \u00XX), for a
// message that shows what was given.
std::string escapedControls(std::string_view text);

}  // namespace solvard::tool
