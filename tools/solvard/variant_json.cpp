#include "variant_json.hpp"

#include <cmath>

#include "automation/error.hpp"

namespace solvard::tool {

using automation::Variant;
using automation::VarType;

Json toJson(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return Json(nullptr);
    case VarType::Int16: return Json(static_cast<int>(v.get<int16_t>()));
    case VarType::Int32: return Json(static_cast<int>(v.get<int32_t>()));
    case VarType::Double: return Json(v.get<double>());
    case VarType::Bool: return Json(v.get<bool>() ? automation::kTrue : automation::kFalse);
    case VarType::Text:
    case VarType::Date: return Json(automation::toText(v));
  }
  return Json(nullptr);
}

Variant fromJson(const Json& j) {
  if (j.isBool()) return Variant(j.asBool());
  if (j.isString()) return Variant(j.asString());
  if (j.isNumber()) {
    double d = j.asNumber();
    if (d == std::trunc(d) && d >= -2147483648.0 && d <= 2147483647.0) {
      return Variant(static_cast<int32_t>(d));
    }
    return Variant(d);
  }
  if (j.isNull()) return Variant();
  throw automation::errors::typeMismatch();
}

}  // namespace solvard::tool
