#include "windows/variant_rules.hpp"

#include <cstdint>
#include <utility>

#include "automation/error.hpp"
#include "windows/wide_text.hpp"

namespace solvard::windows {

using automation::Variant;
namespace errors = automation::errors;

namespace {

constexpr int32_t kInvalidUseOfNull = 94;
constexpr int32_t kWrongArgumentCount = 450;

automation::AutomationError invalidUseOfNull() {
  return {kInvalidUseOfNull, "Invalid use of Null"};
}
automation::AutomationError missingArgument() {
  return {kWrongArgumentCount, "Wrong number of arguments or invalid property assignment"};
}

template <typename T>
Variant wideInteger(T value) {
  if (std::in_range<int32_t>(value)) return Variant(static_cast<int32_t>(value));
  return Variant(static_cast<double>(value));
}

Variant dateValue(DATE serial) {
  automation::DateTime dt = automation::DateTime::fromSerial(serial);
  if (!dt.isValid()) throw errors::overflow();
  return Variant(dt);
}

// A value of type `vt` (without VT_BYREF) stored at `p`, which is either the variant's own
// union or what a by-reference variant points to.
Variant scalarValue(VARTYPE vt, const void* p) {
  switch (vt) {
    case VT_EMPTY: return {};
    case VT_NULL: throw invalidUseOfNull();
    case VT_I2: return Variant(*static_cast<const SHORT*>(p));
    case VT_I4: return Variant(static_cast<int32_t>(*static_cast<const LONG*>(p)));
    case VT_R8: return Variant(*static_cast<const DOUBLE*>(p));
    case VT_BOOL: return Variant(*static_cast<const VARIANT_BOOL*>(p) != VARIANT_FALSE);
    case VT_BSTR: return Variant(utf8FromBstr(*static_cast<const BSTR*>(p)));
    case VT_DATE: return dateValue(*static_cast<const DATE*>(p));
    case VT_UI1: return Variant(static_cast<int16_t>(*static_cast<const BYTE*>(p)));
    case VT_I1: return Variant(static_cast<int16_t>(*static_cast<const CHAR*>(p)));
    case VT_UI2: return Variant(static_cast<int32_t>(*static_cast<const USHORT*>(p)));
    case VT_INT: return Variant(static_cast<int32_t>(*static_cast<const INT*>(p)));
    case VT_UI4: return wideInteger(*static_cast<const ULONG*>(p));
    case VT_UINT: return wideInteger(*static_cast<const UINT*>(p));
    case VT_I8: return wideInteger(*static_cast<const LONGLONG*>(p));
    case VT_UI8: return wideInteger(*static_cast<const ULONGLONG*>(p));
    case VT_R4: return Variant(static_cast<double>(*static_cast<const FLOAT*>(p)));
    case VT_CY: return Variant(static_cast<double>(static_cast<const CY*>(p)->int64) / 10000.0);
    case VT_DECIMAL: {
      double d = 0;
      DECIMAL copy = *static_cast<const DECIMAL*>(p);  // VarR8FromDec takes a non-const one
      if (FAILED(VarR8FromDec(&copy, &d))) throw errors::overflow();
      return Variant(d);
    }
    case VT_ERROR:
      if (*static_cast<const SCODE*>(p) == DISP_E_PARAMNOTFOUND) throw missingArgument();
      throw errors::typeMismatch();
    default: throw errors::typeMismatch();
  }
}

Variant readVariant(const VARIANT& arg, bool insideReference) {
  const VARTYPE vt = V_VT(&arg);
  if (vt & VT_ARRAY) throw errors::typeMismatch();
  if (!(vt & VT_BYREF)) {
    // VT_DECIMAL overlays the whole variant, the other types sit in its union.
    if (vt == VT_DECIMAL) return scalarValue(vt, &V_DECIMAL(&arg));
    return scalarValue(vt, &V_I1(&arg));
  }
  const VARTYPE base = vt & ~VT_BYREF;
  if (V_BYREF(&arg) == nullptr) throw errors::invalidCall();
  if (base == VT_VARIANT) {
    if (insideReference) throw errors::typeMismatch();
    return readVariant(*V_VARIANTREF(&arg), true);
  }
  // A by-reference empty or null carries no pointer worth reading.
  if (base == VT_EMPTY || base == VT_NULL) throw errors::typeMismatch();
  return scalarValue(base, V_BYREF(&arg));
}

void convertWith(VARIANT& natural, VARTYPE target) {
  HRESULT hr = VariantChangeTypeEx(&natural, &natural, 0x409, 0, target);
  if (hr == DISP_E_OVERFLOW) throw errors::overflow();
  if (FAILED(hr)) throw errors::typeMismatch();
}

// `value` as a new VARIANT of type `target`, through the core's own conversions where it has the
// type, so that text and dates read back the way the core writes them.
void variantOfType(const Variant& value, VARTYPE target, VARIANT& out) {
  switch (target) {
    case VT_I2: variantOfValue(Variant(automation::toInt16(value)), out); return;
    case VT_I4: variantOfValue(Variant(automation::toInt32(value)), out); return;
    case VT_R8: variantOfValue(Variant(automation::toDouble(value)), out); return;
    case VT_BOOL: variantOfValue(Variant(automation::toBool(value)), out); return;
    case VT_BSTR: variantOfValue(Variant(automation::toText(value)), out); return;
    case VT_DATE: variantOfValue(Variant(automation::toDate(value)), out); return;
    case VT_UI1:
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_CY:
    case VT_DECIMAL:
      variantOfValue(Variant(automation::toDouble(value)), out);
      convertWith(out, target);
      return;
    default: throw errors::typeMismatch();
  }
}

bool keepsCallerType(VARTYPE vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R8:
    case VT_BOOL:
    case VT_BSTR:
    case VT_DATE:
    case VT_UI1:
    case VT_R4:
    case VT_CY:
    case VT_DECIMAL: return true;
    default: return false;
  }
}

// `v` converted to the core type `type`, by the core's conversions.
Variant asType(const Variant& v, automation::VarType type) {
  switch (type) {
    case automation::VarType::Int16: return automation::toInt16(v);
    case automation::VarType::Int32: return automation::toInt32(v);
    case automation::VarType::Double: return automation::toDouble(v);
    case automation::VarType::Bool: return automation::toBool(v);
    case automation::VarType::Text: return automation::toText(v);
    case automation::VarType::Date: return automation::toDate(v);
    case automation::VarType::Empty: return {};
  }
  return v;
}

// `value` as the caller's variable type `vt` when it reads back unchanged in that type: a card
// number "0000000123" returned to a variable that held 123 stays text, where a 16-bit variable
// would lose the zeros.
bool keptInCallerType(const Variant& value, VARTYPE vt, VARIANT& out) {
  if (!keepsCallerType(vt)) return false;
  try {
    variantOfType(value, vt, out);
  } catch (const automation::AutomationError&) {
    return false;
  }
  bool same = false;
  try {
    same = asType(valueOfVariant(out), value.type()) == value;
  } catch (const automation::AutomationError&) {
    same = false;
  }
  if (!same) VariantClear(&out);
  return same;
}

// Stores a VARIANT of type `base` at `p` (a by-reference argument's target), freeing the text
// it held before.
void storeThrough(VARTYPE base, void* p, VARIANT& converted) {
  switch (base) {
    case VT_I2: *static_cast<SHORT*>(p) = V_I2(&converted); break;
    case VT_I4: *static_cast<LONG*>(p) = V_I4(&converted); break;
    case VT_R8: *static_cast<DOUBLE*>(p) = V_R8(&converted); break;
    case VT_BOOL: *static_cast<VARIANT_BOOL*>(p) = V_BOOL(&converted); break;
    case VT_DATE: *static_cast<DATE*>(p) = V_DATE(&converted); break;
    case VT_UI1: *static_cast<BYTE*>(p) = V_UI1(&converted); break;
    case VT_I1: *static_cast<CHAR*>(p) = V_I1(&converted); break;
    case VT_UI2: *static_cast<USHORT*>(p) = V_UI2(&converted); break;
    case VT_UI4: *static_cast<ULONG*>(p) = V_UI4(&converted); break;
    case VT_INT: *static_cast<INT*>(p) = V_INT(&converted); break;
    case VT_UINT: *static_cast<UINT*>(p) = V_UINT(&converted); break;
    case VT_I8: *static_cast<LONGLONG*>(p) = V_I8(&converted); break;
    case VT_UI8: *static_cast<ULONGLONG*>(p) = V_UI8(&converted); break;
    case VT_R4: *static_cast<FLOAT*>(p) = V_R4(&converted); break;
    case VT_CY: *static_cast<CY*>(p) = V_CY(&converted); break;
    case VT_DECIMAL: *static_cast<DECIMAL*>(p) = V_DECIMAL(&converted); break;
    case VT_BSTR:
      SysFreeString(*static_cast<BSTR*>(p));
      *static_cast<BSTR*>(p) = V_BSTR(&converted);
      V_VT(&converted) = VT_EMPTY;  // the target owns the text now
      break;
    default: VariantClear(&converted); throw errors::typeMismatch();
  }
  VariantClear(&converted);
}

}  // namespace

Variant valueOfVariant(const VARIANT& arg) { return readVariant(arg, false); }

void variantOfValue(const Variant& value, VARIANT& out) {
  VariantInit(&out);
  switch (value.type()) {
    case automation::VarType::Empty: return;
    case automation::VarType::Int16:
      V_VT(&out) = VT_I2;
      V_I2(&out) = value.get<int16_t>();
      return;
    case automation::VarType::Int32:
      V_VT(&out) = VT_I4;
      V_I4(&out) = value.get<int32_t>();
      return;
    case automation::VarType::Double:
      V_VT(&out) = VT_R8;
      V_R8(&out) = value.get<double>();
      return;
    case automation::VarType::Bool:
      V_VT(&out) = VT_BOOL;
      V_BOOL(&out) = value.get<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case automation::VarType::Text:
      V_BSTR(&out) = bstrFromUtf8(value.get<std::string>());
      V_VT(&out) = VT_BSTR;
      return;
    case automation::VarType::Date:
      V_VT(&out) = VT_DATE;
      V_DATE(&out) = value.get<automation::DateTime>().toSerial();
      return;
  }
}

void writeBack(const VARIANT& arg, const Variant& value) {
  const VARTYPE vt = V_VT(&arg);
  if (!(vt & VT_BYREF) || (vt & VT_ARRAY) || V_BYREF(&arg) == nullptr) return;
  const VARTYPE base = vt & ~VT_BYREF;
  if (base != VT_VARIANT) {
    VARIANT converted;
    variantOfType(value, base, converted);
    storeThrough(base, V_BYREF(&arg), converted);
    return;
  }
  VARIANT& target = *V_VARIANTREF(&arg);
  if (V_VT(&target) & VT_BYREF) {
    writeBack(target, value);
    return;
  }
  VARIANT replacement;
  if (!keptInCallerType(value, V_VT(&target), replacement)) variantOfValue(value, replacement);
  VariantClear(&target);
  target = replacement;
}

}  // namespace solvard::windows
