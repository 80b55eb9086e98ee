#pragma once

#include <windows.h>

#include <string>

namespace solvard::windows {

// The loaded Solvard.dll: its handle (recorded when it is loaded), its path, and the counts
// that decide whether the host may unload it.
void setModuleHandle(HMODULE module);
HMODULE moduleHandle();
// The full path of Solvard.dll as the system loaded it.
std::wstring modulePath();

// Living objects (class factories included) and the host's LockServer locks.
void objectCreated();
void objectDestroyed();
void lockServer(bool lock);
bool canUnload();

}  // namespace solvard::windows
