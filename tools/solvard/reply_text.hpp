#pragma once

#include <iosfwd>

#include "json.hpp"

namespace solvard::tool {

// Prints a reply object: as one JSON line, or in words for a person.
void printReply(std::ostream& out, const Json& reply, bool asJson);

}  // namespace solvard::tool
