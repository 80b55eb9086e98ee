#pragma once

#include <objbase.h>
#include <windows.h>

#include <string>

// Solvard.dll loaded the way a host loads an in-process server without the registry: from the
// test program's own folder, where the build puts both.
namespace solvard::test {

class SolvardDll {
 public:
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  using PlainFn = HRESULT(WINAPI*)();

  SolvardDll();
  ~SolvardDll();
  SolvardDll(const SolvardDll&) = delete;
  SolvardDll& operator=(const SolvardDll&) = delete;

  bool loaded() const { return module_ != nullptr; }
  std::wstring path() const;

  HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** out) const;
  HRESULT canUnloadNow() const;
  HRESULT registerServer() const;
  HRESULT unregisterServer() const;

  // A new object of the class through its factory, as the interface asked for.
  HRESULT create(REFCLSID clsid, REFIID riid, void** out) const;

 private:
  HMODULE module_ = nullptr;
  GetClassObjectFn getClassObject_ = nullptr;
  PlainFn canUnloadNow_ = nullptr;
  PlainFn register_ = nullptr;
  PlainFn unregister_ = nullptr;
};

// The identifiers as GUIDs, from the core's registry text.
GUID guidFromText(const char* text);

}  // namespace solvard::test
