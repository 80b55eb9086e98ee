// The boundary's own rules, linked in directly: what each VARIANT type becomes for the core,
// what an in/out value writes back, text across UTF-16 and UTF-8, identifiers, and the
// message loop turn a reply wait gives the host.

#include <oaidl.h>
#include <windows.h>

#include <optional>
#include <string>

#include "automation/error.hpp"
#include "check.hpp"
#include "component/library_line.hpp"
#include "serial/line_state.hpp"
#include "windows/class_factory.hpp"
#include "windows/com_error.hpp"
#include "windows/guid.hpp"
#include "windows/message_pump.hpp"
#include "windows/variant_rules.hpp"
#include "windows/wide_text.hpp"

using solvard::automation::AutomationError;
using solvard::automation::DateTime;
using solvard::automation::Variant;
namespace w = solvard::windows;

namespace {

template <typename Set>
VARIANT make(VARTYPE vt, Set set) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = vt;
  set(v);
  return v;
}

// The core value, or the error number it raised.
struct Outcome {
  std::optional<Variant> value;
  int error = 0;
};

Outcome read(const VARIANT& v) {
  try {
    return {w::valueOfVariant(v), 0};
  } catch (const AutomationError& e) {
    return {std::nullopt, e.number()};
  }
}

void conversionTable() {
  short i2 = -12;
  BSTR bstr = SysAllocString(L"7");
  VARIANT inner = make(VT_I4, [](VARIANT& v) { V_I4(&v) = 70000; });
  VARIANT innerRef = make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &inner; });
  SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, 1);
  CY cy;
  cy.int64 = 12345;
  DECIMAL dec;
  VarDecFromR8(2.5, &dec);

  struct Row {
    const char* name;
    VARIANT arg;
    std::optional<Variant> expected;
    int error;
  };
  Row rows[] = {
      {"empty", VARIANT{}, Variant(), 0},
      {"null", make(VT_NULL, [](VARIANT&) {}), std::nullopt, 94},
      {"i2", make(VT_I2, [](VARIANT& v) { V_I2(&v) = -5; }), Variant(int16_t{-5}), 0},
      {"i4", make(VT_I4, [](VARIANT& v) { V_I4(&v) = 100000; }), Variant(int32_t{100000}), 0},
      {"r8", make(VT_R8, [](VARIANT& v) { V_R8(&v) = 2.25; }), Variant(2.25), 0},
      {"bool", make(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }), Variant(true), 0},
      {"bstr", make(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = bstr; }), Variant("7"), 0},
      {"null bstr", make(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = nullptr; }), Variant(""), 0},
      {"date", make(VT_DATE, [](VARIANT& v) { V_DATE(&v) = 45000.5; }),
       Variant(DateTime{2023, 3, 15, 12, 0, 0}), 0},
      {"date out of range", make(VT_DATE, [](VARIANT& v) { V_DATE(&v) = 1e9; }), std::nullopt, 6},
      {"ui1", make(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 200; }), Variant(int16_t{200}), 0},
      {"i1", make(VT_I1, [](VARIANT& v) { V_I1(&v) = -3; }), Variant(int16_t{-3}), 0},
      {"ui2", make(VT_UI2, [](VARIANT& v) { V_UI2(&v) = 65535; }), Variant(int32_t{65535}), 0},
      {"ui4 small", make(VT_UI4, [](VARIANT& v) { V_UI4(&v) = 9; }), Variant(int32_t{9}), 0},
      {"ui4 large", make(VT_UI4, [](VARIANT& v) { V_UI4(&v) = 4000000000u; }),
       Variant(4000000000.0), 0},
      {"i8", make(VT_I8, [](VARIANT& v) { V_I8(&v) = -40; }), Variant(int32_t{-40}), 0},
      {"r4", make(VT_R4, [](VARIANT& v) { V_R4(&v) = 1.5f; }), Variant(1.5), 0},
      {"currency", make(VT_CY, [&](VARIANT& v) { V_CY(&v) = cy; }), Variant(1.2345), 0},
      // A decimal fills the whole variant, its type included: the type is set after it.
      {"decimal",
       make(VT_DECIMAL,
            [&](VARIANT& v) {
              V_DECIMAL(&v) = dec;
              V_VT(&v) = VT_DECIMAL;
            }),
       Variant(2.5), 0},
      {"object", make(VT_DISPATCH, [](VARIANT& v) { V_DISPATCH(&v) = nullptr; }), std::nullopt, 13},
      {"unknown", make(VT_UNKNOWN, [](VARIANT& v) { V_UNKNOWN(&v) = nullptr; }), std::nullopt, 13},
      {"array", make(VT_ARRAY | VT_I2, [&](VARIANT& v) { V_ARRAY(&v) = array; }), std::nullopt, 13},
      {"missing", make(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }),
       std::nullopt, 450},
      {"error value", make(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = E_FAIL; }), std::nullopt, 13},
      {"by-ref i2", make(VT_BYREF | VT_I2, [&](VARIANT& v) { V_I2REF(&v) = &i2; }),
       Variant(int16_t{-12}), 0},
      {"by-ref bstr", make(VT_BYREF | VT_BSTR, [&](VARIANT& v) { V_BSTRREF(&v) = &bstr; }),
       Variant("7"), 0},
      {"by-ref null pointer", make(VT_BYREF | VT_I2, [](VARIANT& v) { V_I2REF(&v) = nullptr; }),
       std::nullopt, 5},
      {"by-ref variant",
       make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &inner; }),
       Variant(int32_t{70000}), 0},
      {"by-ref to by-ref variant",
       make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &innerRef; }), std::nullopt,
       13},
      {"record", make(VT_RECORD, [](VARIANT& v) { V_RECORD(&v) = nullptr; }), std::nullopt, 13},
  };
  for (const Row& row : rows) {
    const Outcome got = read(row.arg);
    CHECK_EQ_AT(got.error, row.error, row.name);
    CHECK_EQ_AT(got.value == row.expected, true, row.name);
  }
  SafeArrayDestroy(array);
  SysFreeString(bstr);
}

// The caller's variable after an in/out value comes back.
void writeBackTable() {
  struct Row {
    const char* name;
    VARIANT variable;  // what the caller's variable held
    Variant value;     // what the member left
    VARTYPE expectedType;
    double expected;
  };
  Row rows[] = {
      {"i2 stays i2", make(VT_I2, [](VARIANT& v) { V_I2(&v) = 0; }), Variant(int16_t{5}), VT_I2, 5},
      {"i4 stays i4", make(VT_I4, [](VARIANT& v) { V_I4(&v) = 0; }), Variant(int16_t{255}), VT_I4,
       255},
      {"empty takes the value's type", VARIANT{}, Variant(int16_t{5}), VT_I2, 5},
      {"null takes the value's type", make(VT_NULL, [](VARIANT&) {}), Variant(int16_t{5}), VT_I2,
       5},
      {"byte that cannot hold it", make(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 1; }),
       Variant(int16_t{-1}), VT_I2, -1},
      {"byte that can", make(VT_UI1, [](VARIANT& v) { V_UI1(&v) = 1; }), Variant(int16_t{200}),
       VT_UI1, 200},
      {"currency", make(VT_CY, [](VARIANT& v) { V_CY(&v).int64 = 0; }), Variant(int16_t{3}), VT_CY,
       3},
      {"bool that would lose the number", make(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = 0; }),
       Variant(int16_t{5}), VT_I2, 5},
      {"bool that holds a boolean", make(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = 0; }),
       Variant(true), VT_BOOL, -1},
      {"digits that read back", make(VT_I2, [](VARIANT& v) { V_I2(&v) = 0; }), Variant("5"), VT_I2,
       5},
      {"card number whose zeros count", make(VT_I4, [](VARIANT& v) { V_I4(&v) = 123; }),
       Variant("0000000123"), VT_BSTR, 123},
  };
  for (Row& row : rows) {
    VARIANT ref =
        make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &row.variable; });
    w::writeBack(ref, row.value);
    CHECK_EQ_AT(V_VT(&row.variable), row.expectedType, row.name);
    VARIANT asDouble;
    VariantInit(&asDouble);
    CHECK_EQ_AT(VariantChangeType(&asDouble, &row.variable, 0, VT_R8), S_OK, row.name);
    CHECK_EQ_AT(V_R8(&asDouble), row.expected, row.name);
    VariantClear(&row.variable);
  }

  // Text variables receive the core's own text of the value.
  VARIANT textVar = make(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = SysAllocString(L"x"); });
  VARIANT textRef = make(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = &textVar; });
  w::writeBack(textRef, Variant(DateTime{2024, 2, 29, 0, 0, 0}));
  CHECK_EQ(std::wstring(V_BSTR(&textVar)), std::wstring(L"2024-02-29"));
  VariantClear(&textVar);

  // A typed by-reference argument must hold the value or the call fails.
  BYTE byte = 1;
  VARIANT byteRef = make(VT_BYREF | VT_UI1, [&](VARIANT& v) { V_UI1REF(&v) = &byte; });
  int error = 0;
  try {
    w::writeBack(byteRef, Variant(int16_t{-1}));
  } catch (const AutomationError& e) {
    error = e.number();
  }
  CHECK_EQ(error, 6);
  CHECK_EQ(byte, 1);
  BSTR owned = SysAllocString(L"old");
  VARIANT bstrRef = make(VT_BYREF | VT_BSTR, [&](VARIANT& v) { V_BSTRREF(&v) = &owned; });
  w::writeBack(bstrRef, Variant("0000001234"));
  CHECK_EQ(std::wstring(owned), std::wstring(L"0000001234"));
  SysFreeString(owned);
  // A by-value argument is the caller's copy: nothing is written.
  VARIANT byValue = make(VT_I2, [](VARIANT& v) { V_I2(&v) = 0; });
  w::writeBack(byValue, Variant(int16_t{5}));
  CHECK_EQ(V_I2(&byValue), 0);
}

void textTable() {
  struct Row {
    const char* name;
    std::wstring utf16;
    std::string utf8;
  };
  const Row rows[] = {
      {"ascii", L"NODATA", "NODATA"},
      {"latin", L"Z\u00fcrich", "Z\xc3\xbcrich"},
      {"cjk", L"\u4e2d\u6587", "\xe4\xb8\xad\xe6\x96\x87"},
      {"pair", L"\U0001F600", "\xf0\x9f\x98\x80"},
      {"lone high", std::wstring(1, wchar_t(0xD800)) + L"a",
       "\xef\xbf\xbd"
       "a"},
      {"lone low", std::wstring(L"a") + wchar_t(0xDC00), "a\xef\xbf\xbd"},
      {"embedded nul", std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Row& row : rows) {
    CHECK_EQ_AT(w::utf8FromUtf16(row.utf16) == row.utf8, true, row.name);
    BSTR b = SysAllocStringLen(row.utf16.data(), static_cast<UINT>(row.utf16.size()));
    CHECK_EQ_AT(w::utf8FromBstr(b) == row.utf8, true, row.name);
    SysFreeString(b);
  }
  CHECK(w::utf16FromUtf8("\xff"
                         "a") == std::wstring(L"\uFFFDa"));
  CHECK(w::utf16FromUtf8("\xf0\x9f\x98\x80") == std::wstring(L"\U0001F600"));
  CHECK(w::utf8FromBstr(nullptr).empty());
}

void guidTable() {
  struct Row {
    const char* text;
    bool valid;
  };
  const Row rows[] = {
      {"{E7748ED4-D596-4FA5-A941-B8FB4ADD206A}", true},
      {"{e7748ed4-d596-4fa5-a941-b8fb4add206a}", true},
      {"E7748ED4-D596-4FA5-A941-B8FB4ADD206A", false},
      {"{E7748ED4-D596-4FA5-A941-B8FB4ADD206}", false},
      {"{E7748ED4-D596-4FA5-A941xB8FB4ADD206A}", false},
      {"{G7748ED4-D596-4FA5-A941-B8FB4ADD206A}", false},
  };
  for (const Row& row : rows) {
    const auto got = w::parseGuid(row.text);
    CHECK_EQ_AT(got.has_value(), row.valid, row.text);
    if (got && row.valid) {
      CHECK_EQ_AT(w::guidText(*got), std::wstring(L"{E7748ED4-D596-4FA5-A941-B8FB4ADD206A}"),
                  row.text);
    }
  }
}

// Every error number becomes a failure HRESULT: the control facility's form where the number
// fits its code, E_FAIL where it does not; never the bare number, which reads as success.
void errorTable() {
  struct Row {
    int32_t number;
    HRESULT expected;
  };
  const Row rows[] = {
      {13, static_cast<HRESULT>(0x800A000D)},
      {6, static_cast<HRESULT>(0x800A0006)},
      {8002, static_cast<HRESULT>(0x800A1F42)},
      {65535, static_cast<HRESULT>(0x800AFFFF)},
      {0, E_FAIL},
      {-1, E_FAIL},
      {65536, E_FAIL},
  };
  for (const Row& row : rows) {
    const HRESULT hr = w::hresultOfError(AutomationError(row.number, "x"));
    CHECK_EQ_AT(hr, row.expected, std::to_string(row.number));
    CHECK_EQ_AT(FAILED(hr), true, std::to_string(row.number));
  }
  EXCEPINFO info;
  w::fillExcepInfo(AutomationError(94, "Invalid use of Null"), info);
  CHECK_EQ(info.scode, static_cast<HRESULT>(0x800A005E));
  CHECK_EQ(info.wCode, 0);
  CHECK(std::wstring(info.bstrSource) == L"Solvard");
  CHECK(std::wstring(info.bstrDescription) == L"Invalid use of Null");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
}

int g_dispatched = 0;
LRESULT CALLBACK countingWindow(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_APP) ++g_dispatched;
  return DefWindowProcW(window, message, wp, lp);
}

// Creating an object installs the pump on the library's line; a turn dispatches every waiting
// message and hands a quit request back to the host's loop.
void messagePump() {
  CHECK(!solvard::component::libraryLine().hooks.pump);
  IClassFactory* factory = nullptr;
  GUID attend = w::guidOf("{64AA5C7A-165D-4575-99EF-32FD9329C2FE}");
  CHECK_EQ(w::getClassObject(attend, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  if (factory == nullptr) return;
  IUnknown* object = nullptr;
  CHECK_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
  if (object != nullptr) object->Release();
  factory->Release();
  auto pump = solvard::component::libraryLine().hooks.pump;
  CHECK(static_cast<bool>(pump));
  if (!pump) return;

  WNDCLASSW wc{};
  wc.lpfnWndProc = countingWindow;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"SolvardPumpTest";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  CHECK(window != nullptr);
  for (int i = 0; i < 3; ++i) PostMessageW(window, WM_APP, 0, 0);
  pump();
  CHECK_EQ(g_dispatched, 3);

  PostMessageW(window, WM_APP, 0, 0);
  PostQuitMessage(7);
  pump();
  MSG msg;
  CHECK(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  CHECK_EQ(static_cast<int>(msg.wParam), 7);
  DestroyWindow(window);
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  conversionTable();
  writeBackTable();
  textTable();
  guidTable();
  errorTable();
  messagePump();
  CoUninitialize();
  return solvard::test::finish("rules_test");
}
