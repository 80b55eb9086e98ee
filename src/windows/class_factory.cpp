#include "windows/class_factory.hpp"

#include <atomic>
#include <new>

#include "component/identifiers.hpp"
#include "windows/attend_object.hpp"
#include "windows/guid.hpp"
#include "windows/lan_module.hpp"
#include "windows/message_pump.hpp"
#include "windows/module.hpp"
#include "windows/msgbox_window.hpp"
#include "windows/prohibit_object.hpp"

namespace solvard::windows {
namespace {

enum class ClassKind { Attend, Prohibit };

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(ClassKind kind) : kind_(kind) { objectCreated(); }
  ~ClassFactory() { objectDestroyed(); }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
      return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    // The first object's host is the one whose message loop the reply waits turn.
    installMessagePump();
    // Its messages go to a window and its language strings come from its resource modules.
    installWindowPresenter();
    installModuleStrings();
    IUnknown* object = nullptr;
    try {
      if (kind_ == ClassKind::Attend) {
        object = static_cast<_Attend*>(new AttendObject());
      } else {
        object = static_cast<_Prohibit*>(new ProhibitObject());
      }
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
    HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lockServer(lock != FALSE);
    return S_OK;
  }

 private:
  ClassKind kind_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ClassKind kind;
  if (IsEqualCLSID(clsid, guidOf(component::ids::kAttendClass))) {
    kind = ClassKind::Attend;
  } else if (IsEqualCLSID(clsid, guidOf(component::ids::kProhibitClass))) {
    kind = ClassKind::Prohibit;
  } else {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  ClassFactory* factory = new (std::nothrow) ClassFactory(kind);
  if (factory == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, out);
  factory->Release();
  return hr;
}

}  // namespace solvard::windows
