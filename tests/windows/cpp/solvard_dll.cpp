#include "solvard_dll.hpp"

#include <cstdlib>
#include <string>

namespace solvard::test {
namespace {

// An exported entry point as the function type it has; FARPROC is only a placeholder type.
template <typename Fn>
Fn entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

SolvardDll::SolvardDll() {
  module_ = LoadLibraryW(L"Solvard.dll");
  if (module_ == nullptr) return;
  getClassObject_ = entry<GetClassObjectFn>(module_, "DllGetClassObject");
  canUnloadNow_ = entry<PlainFn>(module_, "DllCanUnloadNow");
  register_ = entry<PlainFn>(module_, "DllRegisterServer");
  unregister_ = entry<PlainFn>(module_, "DllUnregisterServer");
  if (!getClassObject_ || !canUnloadNow_ || !register_ || !unregister_) {
    FreeLibrary(module_);
    module_ = nullptr;
  }
}

SolvardDll::~SolvardDll() {
  if (module_ != nullptr) FreeLibrary(module_);
}

std::wstring SolvardDll::path() const {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(module_, buffer, MAX_PATH);
  return buffer;
}

HRESULT SolvardDll::getClassObject(REFCLSID clsid, REFIID riid, void** out) const {
  return getClassObject_(clsid, riid, out);
}
HRESULT SolvardDll::canUnloadNow() const { return canUnloadNow_(); }
HRESULT SolvardDll::registerServer() const { return register_(); }
HRESULT SolvardDll::unregisterServer() const { return unregister_(); }

HRESULT SolvardDll::create(REFCLSID clsid, REFIID riid, void** out) const {
  IClassFactory* factory = nullptr;
  HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, riid, out);
  factory->Release();
  return hr;
}

GUID guidFromText(const char* text) {
  std::wstring wide(text, text + std::char_traits<char>::length(text));
  GUID guid{};
  if (FAILED(CLSIDFromString(wide.c_str(), &guid))) std::abort();
  return guid;
}

}  // namespace solvard::test
