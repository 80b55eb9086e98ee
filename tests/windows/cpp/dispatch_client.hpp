#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>
#include <vector>

// Late-bound calls as a script host makes them: names looked up with GetIDsOfNames, arguments
// handed over last first, a property let's value as the named argument DISPID_PROPERTYPUT.
namespace solvard::test {

struct CallOutcome {
  HRESULT hr = E_FAIL;
  VARIANT result{};
  EXCEPINFO excep{};
  ~CallOutcome();
  std::wstring description() const;
  std::wstring source() const;
};

DISPID dispidOf(IDispatch* object, const wchar_t* name);

// `args` in parameter order; each VARIANT is passed as given (by-reference ones included).
void call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
          CallOutcome& out, bool withExcepInfo = true);
void method(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, CallOutcome& out);
void get(IDispatch* object, const wchar_t* name, CallOutcome& out);
HRESULT put(IDispatch* object, const wchar_t* name, VARIANT value, CallOutcome* out = nullptr);

VARIANT i2(short v);
VARIANT i4(long v);
VARIANT r8(double v);
VARIANT text(const wchar_t* v);  // owns a new BSTR
VARIANT null();
VARIANT byRef(VARIANT* target);
VARIANT byRef(short* target);

}  // namespace solvard::test
