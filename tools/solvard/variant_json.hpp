#pragma once

#include "automation/variant.hpp"
#include "json.hpp"

namespace solvard::tool {

// An automation value as the command's JSON shows it: booleans as the component's -1 and 0,
// dates as text.
Json toJson(const automation::Variant& v);
// A JSON argument as the value handed to the dispatch, which converts it to the parameter type.
automation::Variant fromJson(const Json& j);

}  // namespace solvard::tool
