#pragma once

#include <oaidl.h>
#include <windows.h>

namespace solvard::windows {

// The type library embedded in Solvard.dll (resource 1 of type TYPELIB), loaded from the
// module's own path once and kept for the life of the library.
HRESULT libraryTypeLib(ITypeLib** out);
// The type information of one interface or class of the library; the caller releases it.
HRESULT libraryTypeInfo(REFGUID guid, ITypeInfo** out);

}  // namespace solvard::windows
