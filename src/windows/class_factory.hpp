#pragma once

#include <unknwn.h>
#include <windows.h>

namespace solvard::windows {

// DllGetClassObject: a class factory for `Attend` or `Prohibit` by class identifier.
HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** out);

}  // namespace solvard::windows
