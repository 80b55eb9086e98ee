#pragma once

#include <cstdint>

#include "automation/variant.hpp"

namespace solvard::ui {

// The resource module handle every string lookup uses: one value for the whole library, written
// by `GetLanRes` of both classes, 0 until a host sets it.
int32_t lanResHandle();

// `GetLanRes`: converts any automation value to a 32-bit integer and stores it as the handle. A
// value that does not convert raises the conversion's error (13 type mismatch, 6 overflow) and
// the handle stays as it was.
void setLanResHandle(const automation::Variant& value);

}  // namespace solvard::ui
