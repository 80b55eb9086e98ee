#include "windows/dispatch_call.hpp"

#include <new>
#include <optional>
#include <vector>

#include "windows/com_error.hpp"
#include "windows/variant_rules.hpp"
#include "windows/wide_text.hpp"

namespace solvard::windows {

using component::InterfaceInfo;
using component::Member;
using component::MemberKind;

namespace {

const Member* memberByName(const InterfaceInfo& info, const std::string& name) {
  for (MemberKind kind : {MemberKind::Method, MemberKind::PropertyGet, MemberKind::PropertyLet}) {
    if (const Member* m = component::findMember(info, name, kind)) return m;
  }
  return nullptr;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The member a call with these flags means. Script hosts read a property with
// DISPATCH_METHOD | DISPATCH_PROPERTYGET, so either kind answers such a call.
const Member* memberFor(const InterfaceInfo& info, DISPID id, WORD flags) {
  const uint32_t dispid = static_cast<uint32_t>(id);
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
    return component::findMemberByDispid(info, dispid, MemberKind::PropertyLet);
  if (flags & DISPATCH_METHOD) {
    if (const Member* m = component::findMemberByDispid(info, dispid, MemberKind::Method)) return m;
  }
  if (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))
    return component::findMemberByDispid(info, dispid, MemberKind::PropertyGet);
  return nullptr;
}

// The host's arguments in parameter order, or a dispatch error. Positional arguments come
// last first in rgvarg, after the named ones.
HRESULT arrange(const Member& member, WORD flags, const DISPPARAMS& params,
                std::vector<const VARIANT*>& ordered, UINT* argError) {
  const UINT named = params.cNamedArgs;
  const UINT positional = params.cArgs - named;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (named != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTOPTIONAL;
    if (positional != 0) return DISP_E_BADPARAMCOUNT;
    ordered.assign(1, &params.rgvarg[0]);
    return S_OK;
  }
  if (params.cArgs != member.params.size()) return DISP_E_BADPARAMCOUNT;
  ordered.assign(member.params.size(), nullptr);
  for (UINT i = 0; i < positional; ++i) ordered[i] = &params.rgvarg[params.cArgs - 1 - i];
  for (UINT i = 0; i < named; ++i) {
    const DISPID position = params.rgdispidNamedArgs[i];
    if (position < static_cast<DISPID>(positional) ||
        position >= static_cast<DISPID>(member.params.size()) || ordered[position] != nullptr) {
      if (argError != nullptr) *argError = i;
      return DISP_E_PARAMNOTFOUND;
    }
    ordered[position] = &params.rgvarg[i];
  }
  return S_OK;
}

HRESULT failed(const automation::AutomationError& error, REFIID iid, EXCEPINFO* excepInfo) {
  setErrorInfo(error, iid);
  if (excepInfo == nullptr) return hresultOfError(error);
  fillExcepInfo(error, *excepInfo);
  return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT idsOfNames(const InterfaceInfo& info, LPOLESTR* names, UINT count, DISPID* ids) {
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  const Member* member = memberByName(info, utf8FromUtf16(names[0]));
  if (member == nullptr) return DISP_E_UNKNOWNNAME;
  ids[0] = static_cast<DISPID>(member->dispid);
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    if (names[i] == nullptr) {
      hr = DISP_E_UNKNOWNNAME;
      continue;
    }
    const std::string name = utf8FromUtf16(names[i]);
    for (size_t p = 0; p < member->params.size(); ++p) {
      if (sameNameIgnoringCase(member->params[p].name, name)) ids[i] = static_cast<DISPID>(p);
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT invokeDispatch(component::DispatchObject& object, REFIID iid, DISPID id, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argError) {
  if (params == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  const Member* member = memberFor(object.interfaceInfo(), id, flags);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

  std::vector<const VARIANT*> ordered;
  if (HRESULT hr = arrange(*member, flags, *params, ordered, argError); FAILED(hr)) return hr;

  try {
    std::vector<automation::Variant> args;
    args.reserve(ordered.size());
    for (size_t i = 0; i < ordered.size(); ++i) {
      try {
        args.push_back(valueOfVariant(*ordered[i]));
      } catch (const automation::AutomationError&) {
        if (argError != nullptr) *argError = static_cast<UINT>(ordered[i] - params->rgvarg);
        throw;
      }
    }
    // What each in/out argument is as the member receives it, so that one the member leaves
    // as it was stays exactly as the caller had it (a variable holding "09" is not rewritten
    // as "9"), and a member that works on copies never writes the caller's variables.
    std::vector<automation::Variant> received(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
      if (member->params[i].byRef) received[i] = component::coerce(args[i], member->params[i].type);
    }
    std::optional<automation::AutomationError> error;
    automation::Variant value;
    try {
      value = component::invokeMember(object, *member, args);
    } catch (const automation::AutomationError& e) {
      error = e;
    }
    // invokeMember leaves in/out values in args on success and on failure alike. When the
    // member failed, its error is the one the host hears, whatever a write-back says.
    try {
      for (size_t i = 0; i < ordered.size(); ++i) {
        if (member->params[i].byRef && !(args[i] == received[i])) writeBack(*ordered[i], args[i]);
      }
    } catch (const automation::AutomationError&) {
      if (!error) throw;
    }
    if (error) return failed(*error, iid, excepInfo);
    if (result != nullptr && member->kind != MemberKind::PropertyLet) {
      VariantInit(result);
      variantOfValue(component::coerce(value, member->returns), *result);
    }
    return S_OK;
  } catch (const automation::AutomationError& e) {
    return failed(e, iid, excepInfo);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace solvard::windows
