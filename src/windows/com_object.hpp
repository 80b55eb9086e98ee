#pragma once

#include <oaidl.h>
#include <ocidl.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <span>

#include "component/dispatch.hpp"
#include "windows/dispatch_call.hpp"
#include "windows/guid.hpp"
#include "windows/module.hpp"
#include "windows/type_library.hpp"

namespace solvard::windows {

// The COM side of one core object: reference counting, QueryInterface for the identifiers the
// class answers to, IDispatch over the interface table, error info support and class info.
// `Interface` is the dual interface the type library declares; the class generated for it in
// vtable_slots.hpp implements its vtable members, each through callSlot.
template <class Interface>
class ComObject : public Interface, public ISupportErrorInfo, public IProvideClassInfo {
 public:
  ComObject(std::unique_ptr<component::DispatchObject> core, std::span<const GUID> interfaceIds)
      : core_(std::move(core)),
        interfaceIds_(interfaceIds),
        iid_(guidOf(core_->interfaceInfo().iid)),
        clsid_(guidOf(core_->interfaceInfo().clsid)) {
    objectCreated();
  }
  virtual ~ComObject() { objectDestroyed(); }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || answersTo(riid)) {
      *out = static_cast<Interface*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else if (IsEqualIID(riid, IID_IProvideClassInfo)) {
      *out = static_cast<IProvideClassInfo*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return libraryTypeInfo(iid_, out);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    try {
      return idsOfNames(core_->interfaceInfo(), names, count, ids);
    } catch (...) {
      return E_OUTOFMEMORY;  // the only thing converting a name can run out of
    }
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argError) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return invokeDispatch(*core_, iid_, member, flags, params, result, excepInfo, argError);
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return (IsEqualIID(riid, IID_IDispatch) || answersTo(riid)) ? S_OK : S_FALSE;
  }

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
    return libraryTypeInfo(clsid_, out);
  }

 protected:
  component::DispatchObject& core() { return *core_; }
  const IID& iid() const { return iid_; }

 private:
  bool answersTo(REFIID riid) const {
    for (const GUID& id : interfaceIds_) {
      if (IsEqualIID(riid, id)) return true;
    }
    return false;
  }

  std::unique_ptr<component::DispatchObject> core_;
  std::span<const GUID> interfaceIds_;
  IID iid_;
  CLSID clsid_;
  std::atomic<ULONG> references_{1};
};

}  // namespace solvard::windows
