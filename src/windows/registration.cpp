#include "windows/registration.hpp"

#include <cwchar>
#include <new>

#include "component/identifiers.hpp"
#include "component/interface_table.hpp"
#include "windows/guid.hpp"
#include "windows/module.hpp"
#include "windows/type_library.hpp"
#include "windows/wide_text.hpp"

namespace solvard::windows {
namespace {

// The standard automation marshaler, which marshals a dual interface from its type library.
constexpr wchar_t kAutomationMarshaler[] = L"{00020424-0000-0000-C000-000000000046}";

std::wstring wide(std::string_view text) { return utf16FromUtf8(text); }

std::wstring versionedProgId(const component::InterfaceInfo& info) {
  return wide(info.progId) + L".1";
}

HRESULT writeValue(const RegistryValue& v) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, v.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  const DWORD bytes = static_cast<DWORD>((v.data.size() + 1) * sizeof(wchar_t));
  rc = RegSetValueExW(key, v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                      reinterpret_cast<const BYTE*>(v.data.c_str()), bytes);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

// Major and minor of the type library's "19.1".
void libraryVersion(WORD& major, WORD& minor) {
  const std::string_view v = component::ids::kTypeLibraryVersion;
  const size_t dot = v.find('.');
  major = static_cast<WORD>(std::stoi(std::string(v.substr(0, dot))));
  minor = static_cast<WORD>(std::stoi(std::string(v.substr(dot + 1))));
}

// The registry writes a type library's version in hexadecimal ("13.1" for 19.1).
std::wstring registryVersion(WORD major, WORD minor) {
  wchar_t text[16];
  swprintf(text, 16, L"%x.%x", major, minor);
  return text;
}

HRESULT registerTypeLibrary(const std::wstring& path) {
  ITypeLib* lib = nullptr;
  HRESULT hr = libraryTypeLib(&lib);
  if (FAILED(hr)) return hr;
  std::wstring writable = path;  // RegisterTypeLib takes a non-const path
  hr = RegisterTypeLib(lib, writable.data(), nullptr);
  lib->Release();
  return hr;
}

HRESULT unregisterTypeLibrary() {
  WORD major = 0;
  WORD minor = 0;
  libraryVersion(major, minor);
  const std::wstring libKey = L"TypeLib\\" + wide(component::ids::kTypeLibrary);
  const std::wstring versionKey = libKey + L"\\" + registryVersion(major, minor);
  HKEY key = nullptr;
  // Not registered (or already removed) is what unregistration wants.
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, versionKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return S_OK;
  RegCloseKey(key);
  const SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  HRESULT hr = UnRegisterTypeLib(guidOf(component::ids::kTypeLibrary), major, minor,
                                 component::ids::kTypeLibraryLocale, kind);
  if (FAILED(hr)) return hr;
  // The library's own key stays behind, empty, when no other version is registered; a key
  // with subkeys left is not deleted.
  RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());
  return S_OK;
}

}  // namespace

std::vector<RegistryValue> registryValues(const std::wstring& modulePath) {
  const std::wstring libid = wide(component::ids::kTypeLibrary);
  std::vector<RegistryValue> values;
  for (const component::InterfaceInfo* info : component::allInterfaces()) {
    const std::wstring clsidKey = L"CLSID\\" + wide(info->clsid);
    const std::wstring progId = wide(info->progId);
    const std::wstring versioned = versionedProgId(*info);
    const std::wstring className = wide(info->className);
    values.push_back({clsidKey, L"", className});
    values.push_back({clsidKey + L"\\InprocServer32", L"", modulePath});
    values.push_back({clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    values.push_back({clsidKey + L"\\ProgID", L"", versioned});
    values.push_back({clsidKey + L"\\VersionIndependentProgID", L"", progId});
    values.push_back({clsidKey + L"\\TypeLib", L"", libid});
    values.push_back({clsidKey + L"\\Version", L"", wide(info->version)});
    values.push_back({progId, L"", className});
    values.push_back({progId + L"\\CLSID", L"", wide(info->clsid)});
    values.push_back({progId + L"\\CurVer", L"", versioned});
    values.push_back({versioned, L"", className});
    values.push_back({versioned + L"\\CLSID", L"", wide(info->clsid)});
  }
  const std::wstring aliasKey = L"Interface\\" + wide(component::ids::kProhibitInterfaceV0);
  values.push_back({aliasKey, L"", L"Prohibit___v0"});
  values.push_back({aliasKey + L"\\ProxyStubClsid32", L"", kAutomationMarshaler});
  values.push_back({aliasKey + L"\\TypeLib", L"", libid});
  WORD major = 0;
  WORD minor = 0;
  libraryVersion(major, minor);
  values.push_back({aliasKey + L"\\TypeLib", L"Version", registryVersion(major, minor)});
  return values;
}

std::vector<std::wstring> registryRoots() {
  std::vector<std::wstring> roots;
  for (const component::InterfaceInfo* info : component::allInterfaces()) {
    roots.push_back(L"CLSID\\" + wide(info->clsid));
    roots.push_back(wide(info->progId));
    roots.push_back(versionedProgId(*info));
  }
  roots.push_back(L"Interface\\" + wide(component::ids::kProhibitInterfaceV0));
  return roots;
}

HRESULT registerServer() {
  try {
    const std::wstring path = modulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    HRESULT hr = registerTypeLibrary(path);
    if (FAILED(hr)) return SELFREG_E_TYPELIB;
    for (const RegistryValue& v : registryValues(path)) {
      hr = writeValue(v);
      if (FAILED(hr)) {
        unregisterServer();
        return SELFREG_E_CLASS;
      }
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT unregisterServer() {
  try {
    HRESULT result = S_OK;
    for (const std::wstring& root : registryRoots()) {
      LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, root.c_str());
      if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) result = SELFREG_E_CLASS;
    }
    if (FAILED(unregisterTypeLibrary())) result = SELFREG_E_TYPELIB;
    return result;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace solvard::windows
