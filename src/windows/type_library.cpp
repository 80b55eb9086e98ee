#include "windows/type_library.hpp"

#include <mutex>

#include "windows/module.hpp"

namespace solvard::windows {

HRESULT libraryTypeLib(ITypeLib** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  static std::mutex mutex;
  // Kept, never released: the library's objects hand out its type information as long as the
  // module is loaded, and releasing it from DllMain is not allowed.
  static ITypeLib* loaded = nullptr;
  std::lock_guard lock(mutex);
  if (loaded == nullptr) {
    const std::wstring path = modulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded);
    if (FAILED(hr)) return hr;
  }
  loaded->AddRef();
  *out = loaded;
  return S_OK;
}

HRESULT libraryTypeInfo(REFGUID guid, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  ITypeLib* lib = nullptr;
  HRESULT hr = libraryTypeLib(&lib);
  if (FAILED(hr)) return hr;
  hr = lib->GetTypeInfoOfGuid(guid, out);
  lib->Release();
  return hr;
}

}  // namespace solvard::windows
