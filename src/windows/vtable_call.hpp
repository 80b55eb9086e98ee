#pragma once

#include <oaidl.h>
#include <windows.h>

#include <initializer_list>
#include <variant>

#include "component/dispatch.hpp"

namespace solvard::windows {

// One argument of a call through the dual interface's vtable: a value the host passed, or a
// pointer to the host's variable for an in/out parameter.
class VtArg {
 public:
  static VtArg in(short value) { return VtArg(Source(value)); }
  static VtArg in(BSTR value) { return VtArg(Text{value}); }
  static VtArg in(const VARIANT& value) { return VtArg(Source(&value)); }
  static VtArg inDate(DATE value) { return VtArg(Source(DateIn{value})); }
  static VtArg inOut(short* value) { return VtArg(Source(value)); }
  static VtArg inOut(BSTR* value) { return VtArg(Source(value)); }
  static VtArg inOut(DATE* value) { return VtArg(Source(value)); }

  bool isNullPointer() const;
  automation::Variant value() const;
  // Stores the value the member left in an in/out argument into the host's variable.
  void writeBack(const automation::Variant& value) const;

 private:
  struct Text {
    BSTR value;
  };
  struct DateIn {
    DATE value;
  };
  using Source = std::variant<short, Text, const VARIANT*, DateIn, short*, BSTR*, DATE*>;
  explicit VtArg(Source source) : source_(source) {}
  Source source_;
};

// Where the call's result goes: the [out, retval] pointer, or nowhere for a property let.
class VtResult {
 public:
  static VtResult none() { return VtResult(std::monostate{}); }
  static VtResult out(short* p) { return VtResult(p); }
  static VtResult out(long* p) { return VtResult(p); }
  static VtResult out(BSTR* p) { return VtResult(p); }
  // VARIANT_BOOL is a short: the boolean result is named apart from a 16-bit one.
  static VtResult boolean(VARIANT_BOOL* p) { return VtResult(BoolOut{p}); }

  bool isNullPointer() const;
  // Sets the result to zero or null before the call, so a failure leaves nothing stale.
  void clear() const;
  void store(const automation::Variant& value) const;

 private:
  struct BoolOut {
    VARIANT_BOOL* p;
  };
  using Target = std::variant<std::monostate, short*, long*, BSTR*, BoolOut>;
  explicit VtResult(Target target) : target_(target) {}
  Target target_;
};

// Runs the member in `slot` of the object's interface with these arguments: the same member,
// the same coercions and the same behaviour as a late-bound call, written once in the core.
// In/out values reach the host's variables also when the member fails. A failure returns the
// error's HRESULT with the error recorded for GetErrorInfo; a null pointer returns E_POINTER.
HRESULT callSlot(component::DispatchObject& object, REFIID iid, int slot,
                 std::initializer_list<VtArg> args, VtResult result);

}  // namespace solvard::windows
