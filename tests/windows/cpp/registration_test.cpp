// DllRegisterServer and DllUnregisterServer against the registry: the keys a host finds the
// classes by, creation by ProgID, and unregistration leaving the registry as it was found.

#include <oaidl.h>
#include <windows.h>

#include <set>
#include <string>

#include "check.hpp"
#include "component/identifiers.hpp"
#include "dispatch_client.hpp"
#include "solvard_dll.hpp"

namespace ids = solvard::component::ids;
using namespace solvard::test;

namespace {

std::wstring wide(std::string_view s) { return std::wstring(s.begin(), s.end()); }

// The names of the subkeys of HKCR\`path` (HKCR itself for an empty path).
std::set<std::wstring> subkeys(const std::wstring& path) {
  std::set<std::wstring> names;
  HKEY key = HKEY_CLASSES_ROOT;
  if (!path.empty() &&
      RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    std::wstring n(name, length);
    for (wchar_t& ch : n) ch = static_cast<wchar_t>(towupper(ch));
    names.insert(n);
  }
  if (key != HKEY_CLASSES_ROOT) RegCloseKey(key);
  return names;
}

// The parts of HKCR registration writes into.
struct Snapshot {
  std::set<std::wstring> root = subkeys(L"");
  std::set<std::wstring> clsid = subkeys(L"CLSID");
  std::set<std::wstring> interfaces = subkeys(L"Interface");
  std::set<std::wstring> typelibs = subkeys(L"TypeLib");
};

std::set<std::wstring> added(const std::set<std::wstring>& before,
                             const std::set<std::wstring>& after) {
  std::set<std::wstring> out;
  for (const auto& n : after) {
    if (!before.contains(n)) out.insert(n);
  }
  return out;
}

std::set<std::wstring> upper(std::initializer_list<std::wstring> names) {
  std::set<std::wstring> out;
  for (std::wstring n : names) {
    for (wchar_t& ch : n) ch = static_cast<wchar_t>(towupper(ch));
    out.insert(n);
  }
  return out;
}

// A REG_SZ value, or "<missing>".
std::wstring value(const std::wstring& path, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD bytes = sizeof(data) - sizeof(wchar_t);
  DWORD type = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return L"<missing>";
  LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return L"<missing>";
  return data;
}

bool sameIgnoringCase(std::wstring a, std::wstring b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    SolvardDll dll;
    CHECK(dll.loaded());
    if (!dll.loaded()) return finish("registration_test");
    const std::wstring path = dll.path();
    const std::wstring attend = wide(ids::kAttendClass);
    const std::wstring prohibit = wide(ids::kProhibitClass);
    const std::wstring libid = wide(ids::kTypeLibrary);

    // A run that stopped half way may have left a registration behind.
    dll.unregisterServer();
    const Snapshot before;

    CHECK_EQ(dll.registerServer(), S_OK);
    const Snapshot registered;
    CHECK(added(before.root, registered.root) ==
          upper({L"Solvard.Attend", L"Solvard.Attend.1", L"Solvard.Prohibit",
                 L"Solvard.Prohibit.1"}));
    CHECK(added(before.clsid, registered.clsid) == upper({attend, prohibit}));
    CHECK(added(before.interfaces, registered.interfaces) ==
          upper({wide(ids::kAttendInterface), wide(ids::kProhibitInterface),
                 wide(ids::kProhibitInterfaceV0)}));
    CHECK(added(before.typelibs, registered.typelibs) == upper({libid}));

    struct Row {
      std::wstring key;
      const wchar_t* name;
      std::wstring expected;
    };
    const Row rows[] = {
        {L"CLSID\\" + attend + L"\\InprocServer32", nullptr, path},
        {L"CLSID\\" + attend + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"CLSID\\" + attend + L"\\ProgID", nullptr, L"Solvard.Attend.1"},
        {L"CLSID\\" + attend + L"\\VersionIndependentProgID", nullptr, L"Solvard.Attend"},
        {L"CLSID\\" + attend + L"\\TypeLib", nullptr, libid},
        {L"CLSID\\" + prohibit + L"\\InprocServer32", nullptr, path},
        {L"CLSID\\" + prohibit + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"CLSID\\" + prohibit + L"\\ProgID", nullptr, L"Solvard.Prohibit.1"},
        {L"Solvard.Attend\\CLSID", nullptr, attend},
        {L"Solvard.Attend\\CurVer", nullptr, L"Solvard.Attend.1"},
        {L"Solvard.Attend.1\\CLSID", nullptr, attend},
        {L"Solvard.Prohibit\\CLSID", nullptr, prohibit},
        {L"Solvard.Prohibit.1\\CLSID", nullptr, prohibit},
        // The registry spells a type library's version in hexadecimal: 19.1 is "13.1".
        {L"TypeLib\\" + libid + L"\\13.1\\409\\" + (sizeof(void*) == 8 ? L"win64" : L"win32"),
         nullptr, path},
        {L"Interface\\" + wide(ids::kAttendInterface) + L"\\TypeLib", nullptr, libid},
        {L"Interface\\" + wide(ids::kProhibitInterfaceV0) + L"\\TypeLib", nullptr, libid},
        {L"Interface\\" + wide(ids::kProhibitInterfaceV0) + L"\\TypeLib", L"Version", L"13.1"},
        {L"Interface\\" + wide(ids::kProhibitInterface) + L"\\ProxyStubClsid32", nullptr,
         L"{00020424-0000-0000-C000-000000000046}"},
    };
    for (const Row& row : rows) {
      const std::wstring got = value(row.key, row.name);
      const std::string at = narrow(row.key) + (row.name ? " " + narrow(row.name) : "");
      CHECK_EQ_AT(sameIgnoringCase(got, row.expected), true, at + ": " + narrow(got));
    }

    // A host creates by ProgID through the registry alone.
    for (const wchar_t* progId : {L"Solvard.Attend", L"Solvard.Prohibit"}) {
      CLSID clsid{};
      CHECK_EQ_AT(CLSIDFromProgID(progId, &clsid), S_OK, narrow(progId));
      IDispatch* object = nullptr;
      CHECK_EQ_AT(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&object)),
                  S_OK, narrow(progId));
      if (object != nullptr) {
        CallOutcome out;
        get(object, L"CommBautRate", out);
        CHECK_EQ_AT(V_I2(&out.result), 9600, narrow(progId));
        object->Release();
      }
    }
    CHECK(IsEqualGUID(
        [] {
          CLSID c{};
          CLSIDFromProgID(L"Solvard.Prohibit", &c);
          return c;
        }(),
        guidFromText(ids::kProhibitClass.data())));

    CHECK_EQ(dll.unregisterServer(), S_OK);
    const Snapshot after;
    CHECK(after.root == before.root);
    CHECK(after.clsid == before.clsid);
    CHECK(after.interfaces == before.interfaces);
    CHECK(after.typelibs == before.typelibs);
    CLSID gone{};
    CHECK(FAILED(CLSIDFromProgID(L"Solvard.Attend", &gone)));
    // Unregistering what is not registered is no failure.
    CHECK_EQ(dll.unregisterServer(), S_OK);
  }
  CoUninitialize();
  return finish("registration_test");
}
