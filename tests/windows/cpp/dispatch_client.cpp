#include "dispatch_client.hpp"

namespace solvard::test {

CallOutcome::~CallOutcome() {
  VariantClear(&result);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
}

std::wstring CallOutcome::description() const {
  return excep.bstrDescription ? std::wstring(excep.bstrDescription) : L"";
}
std::wstring CallOutcome::source() const {
  return excep.bstrSource ? std::wstring(excep.bstrSource) : L"";
}

DISPID dispidOf(IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

void call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
          CallOutcome& out, bool withExcepInfo) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  UINT argError = 0;
  out.hr = object->Invoke(dispidOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                          &out.result, withExcepInfo ? &out.excep : nullptr, &argError);
  // By-value texts the test made belong to the test; by-reference targets to their owners.
  for (VARIANT& v : args) {
    if (!(V_VT(&v) & VT_BYREF)) VariantClear(&v);
  }
}

void method(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, CallOutcome& out) {
  call(object, name, DISPATCH_METHOD, std::move(args), out);
}

void get(IDispatch* object, const wchar_t* name, CallOutcome& out) {
  call(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, out);
}

HRESULT put(IDispatch* object, const wchar_t* name, VARIANT value, CallOutcome* out) {
  CallOutcome local;
  CallOutcome& target = out ? *out : local;
  call(object, name, DISPATCH_PROPERTYPUT, {value}, target);
  return target.hr;
}

VARIANT i2(short v) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_I2;
  V_I2(&out) = v;
  return out;
}
VARIANT i4(long v) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_I4;
  V_I4(&out) = v;
  return out;
}
VARIANT r8(double v) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_R8;
  V_R8(&out) = v;
  return out;
}
VARIANT text(const wchar_t* v) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_BSTR;
  V_BSTR(&out) = SysAllocString(v);
  return out;
}
VARIANT null() {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_NULL;
  return out;
}
VARIANT byRef(VARIANT* target) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&out) = target;
  return out;
}
VARIANT byRef(short* target) {
  VARIANT out;
  VariantInit(&out);
  V_VT(&out) = VT_BYREF | VT_I2;
  V_I2REF(&out) = target;
  return out;
}

}  // namespace solvard::test
