// The four entry points an in-process server exports by name (see solvard.def).

#include <windows.h>

#include "windows/class_factory.hpp"
#include "windows/module.hpp"
#include "windows/registration.hpp"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // Only the handle is recorded here; everything else waits for the first call. Thread
  // notifications stay on: the statically linked run-time keeps per-thread state through them.
  if (reason == DLL_PROCESS_ATTACH) solvard::windows::setModuleHandle(instance);
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
  return solvard::windows::getClassObject(clsid, riid, out);
}

STDAPI DllCanUnloadNow() { return solvard::windows::canUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return solvard::windows::registerServer(); }

STDAPI DllUnregisterServer() { return solvard::windows::unregisterServer(); }

}  // extern "C"
