#pragma once

#include <oaidl.h>
#include <windows.h>

#include "automation/variant.hpp"

namespace solvard::windows {

// How a host's VARIANT becomes a core value. The core knows Empty, 16- and 32-bit integers,
// doubles, booleans, text and dates; the rest of what automation can pass is decided here:
//
//   VT_EMPTY                      Empty
//   VT_I2 VT_I4 VT_R8 VT_BOOL     the same type
//   VT_BSTR                       Text (a null BSTR is the empty text)
//   VT_DATE                       Date; a number no date stands for raises 6 Overflow
//   VT_UI1 VT_I1                  16-bit integer
//   VT_UI2 VT_INT                 32-bit integer
//   VT_UI4 VT_UINT VT_I8 VT_UI8   32-bit integer when it fits, else a double (so a 16- or
//                                 32-bit parameter raises 6 Overflow, as automation does)
//   VT_R4 VT_CY VT_DECIMAL        Double (currency by its value, not its scaled integer)
//   VT_NULL                       raises 94 "Invalid use of Null": no parameter takes Null
//   VT_DISPATCH VT_UNKNOWN        raise 13 Type mismatch: the library never calls back into a
//                                 host's object to read its default value while converting
//   arrays (VT_ARRAY)             raise 13 Type mismatch
//   VT_ERROR DISP_E_PARAMNOTFOUND a missing argument: raises 450, no parameter is optional
//   VT_ERROR (other codes)        raise 13 Type mismatch
//   VT_BYREF | any of the above   the value pointed to; a null pointer raises 5 "Invalid
//                                 procedure call or argument"
//   VT_BYREF | VT_VARIANT         the variant pointed to, itself not by reference to a variant
//   anything else                 raises 13 Type mismatch
automation::Variant valueOfVariant(const VARIANT& arg);

// A core value as a new VARIANT of its natural type (Int16 as VT_I2, Text as VT_BSTR, ...).
// `out` is overwritten without being cleared.
void variantOfValue(const automation::Variant& value, VARIANT& out);

// Hands an in/out value back through a by-reference argument. A VT_BYREF|T argument receives it
// as T (6 Overflow or 13 Type mismatch when it does not fit). A VT_BYREF|VT_VARIANT argument keeps
// the type the caller's variable had when that type is a number, text, date or boolean that holds
// the value without loss (a VBScript variable holding 0 receives 5 as a 16-bit integer again);
// otherwise it receives the natural type (a variable holding 123 receives the card number
// "0000000123" as text). An argument passed by value is left alone.
void writeBack(const VARIANT& arg, const automation::Variant& value);

}  // namespace solvard::windows
