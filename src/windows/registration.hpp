#pragma once

#include <olectl.h>
#include <windows.h>

#include <string>
#include <vector>

namespace solvard::windows {

// One value registration writes under HKEY_CLASSES_ROOT; an empty name is the key's default.
struct RegistryValue {
  std::wstring key;
  std::wstring name;
  std::wstring data;
};

// For each class: CLSID\{clsid} (name, InprocServer32 with the module path and the Apartment
// threading model, ProgID, VersionIndependentProgID, TypeLib, Version), the ProgID
// "Solvard.Attend" with its CLSID and CurVer, the versioned ProgID "Solvard.Attend.1"; and the
// interface identifier `Prohibit___v0` keeps, which registering the type library leaves out.
std::vector<RegistryValue> registryValues(const std::wstring& modulePath);
// The keys registration creates, each removed whole by unregistration.
std::vector<std::wstring> registryRoots();

// DllRegisterServer: the type library (with its interfaces), then the values above. A failure
// part way removes what was written.
HRESULT registerServer();
// DllUnregisterServer: every key registerServer wrote, and the type library. Keys already gone
// are no failure.
HRESULT unregisterServer();

}  // namespace solvard::windows
