#include "windows/com_error.hpp"

#include <new>

#include "windows/wide_text.hpp"

namespace solvard::windows {
namespace {

constexpr wchar_t kSource[] = L"Solvard";

}  // namespace

HRESULT hresultOfError(const automation::AutomationError& error) {
  const int32_t n = error.number();
  if (n <= 0 || n > 0xFFFF) return E_FAIL;
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n);
}

void fillExcepInfo(const automation::AutomationError& error, EXCEPINFO& info) {
  info = EXCEPINFO{};
  info.bstrSource = SysAllocString(kSource);
  try {
    info.bstrDescription = bstrFromUtf8(error.description());
  } catch (const std::bad_alloc&) {
    info.bstrDescription = nullptr;
  }
  info.scode = hresultOfError(error);
}

void setErrorInfo(const automation::AutomationError& error, REFIID iid) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return;
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(kSource));
  std::wstring description = utf16FromUtf8(error.description());
  create->SetDescription(description.data());
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
}

HRESULT hresultOfCurrentException(REFIID iid) {
  try {
    throw;
  } catch (const detail::Fault& fault) {
    const automation::AutomationError e = automation::asAutomationError(fault);
    setErrorInfo(e, iid);
    return hresultOfError(e);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace solvard::windows
