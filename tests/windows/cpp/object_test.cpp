// Objects of Solvard.dll from DllGetClassObject, driven through IDispatch as a script host
// drives them and through the dual vtable as a compiled host does. No call here reaches a
// serial port: commands are addressed to machine number -1, which no terminal has.

#include <oaidl.h>
#include <ocidl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "check.hpp"
#include "component/identifiers.hpp"
#include "dispatch_client.hpp"
#include "solvard_dll.hpp"
#include "solvard_h.h"

namespace ids = solvard::component::ids;
using namespace solvard::test;

namespace {

constexpr HRESULT controlError(int n) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n); }

struct Classes {
  GUID attend = guidFromText(ids::kAttendClass.data());
  GUID prohibit = guidFromText(ids::kProhibitClass.data());
  GUID attendIid = guidFromText(ids::kAttendInterface.data());
  GUID prohibitIid = guidFromText(ids::kProhibitInterface.data());
  GUID prohibitV0 = guidFromText(ids::kProhibitInterfaceV0.data());
};

IDispatch* createDispatch(const SolvardDll& dll, REFCLSID clsid) {
  IDispatch* object = nullptr;
  HRESULT hr = dll.create(clsid, IID_IDispatch, reinterpret_cast<void**>(&object));
  CHECK_EQ(hr, S_OK);
  return object;
}

// A fresh object's properties, read late-bound (names in any case) and through the vtable.
void propertyDefaults(const SolvardDll& dll, const Classes& c) {
  struct Row {
    bool attend;
    const wchar_t* name;
    short expected;
  };
  const Row rows[] = {
      {true, L"CommPortID", 0},           {true, L"commbautrate", 9600},
      {true, L"COMMINBUFFERSIZE", 1024},  {true, L"CommOutBufferSize", 512},
      {false, L"CommPortID", 0},          {false, L"CommBautRate", 9600},
      {false, L"CommInBufferSize", 1024}, {false, L"CommOutBufferSize", 512},
  };
  for (const Row& row : rows) {
    IDispatch* object = createDispatch(dll, row.attend ? c.attend : c.prohibit);
    if (object == nullptr) continue;
    CallOutcome out;
    get(object, row.name, out);
    const std::string at = narrow(row.name);
    CHECK_EQ_AT(out.hr, S_OK, at);
    CHECK_EQ_AT(V_VT(&out.result), static_cast<VARTYPE>(VT_I2), at);
    CHECK_EQ_AT(V_I2(&out.result), row.expected, at);
    object->Release();
  }

  _Attend* attend = nullptr;
  CHECK_EQ(dll.create(c.attend, c.attendIid, reinterpret_cast<void**>(&attend)), S_OK);
  if (attend == nullptr) return;
  short value = -7;
  CHECK_EQ(attend->get_CommPortID(&value), S_OK);
  CHECK_EQ(value, 0);
  CHECK_EQ(attend->get_CommBautRate(&value), S_OK);
  CHECK_EQ(value, 9600);
  CHECK_EQ(attend->get_CommInBufferSize(&value), S_OK);
  CHECK_EQ(value, 1024);
  CHECK_EQ(attend->get_CommOutBufferSize(&value), S_OK);
  CHECK_EQ(value, 512);
  CHECK_EQ(attend->get_CommPortID(nullptr), E_POINTER);
  attend->Release();
}

// Lets through both paths, read back: 0 means the default, text converts, texts keep every
// character across UTF-16 and back.
void propertyLets(const SolvardDll& dll, const Classes& c) {
  struct Row {
    const wchar_t* name;
    VARIANT value;
    short expected;
  };
  IDispatch* object = createDispatch(dll, c.attend);
  if (object == nullptr) return;
  Row rows[] = {
      {L"CommBautRate", i2(4800), 4800},  {L"CommBautRate", i2(0), 9600},
      {L"CommInBufferSize", i4(0), 1024}, {L"CommOutBufferSize", text(L"2048"), 2048},
      {L"CommPortID", r8(2.5), 2},        {L"CommPortID", i2(-3), -3},
  };
  for (Row& row : rows) {
    const std::string at = narrow(row.name);
    CHECK_EQ_AT(put(object, row.name, row.value), S_OK, at);
    CallOutcome out;
    get(object, row.name, out);
    CHECK_EQ_AT(V_I2(&out.result), row.expected, at);
  }
  const std::wstring connect = L"DSN=Z\u00fcrich;Pwd=\u20ac\U0001F600";
  CHECK_EQ(put(object, L"ConnectString", text(connect.c_str())), S_OK);
  CallOutcome read;
  get(object, L"ConnectString", read);
  CHECK_EQ(V_VT(&read.result), static_cast<VARTYPE>(VT_BSTR));
  if (V_VT(&read.result) == VT_BSTR) CHECK(std::wstring(V_BSTR(&read.result)) == connect);
  object->Release();

  _Prohibit* prohibit = nullptr;
  CHECK_EQ(dll.create(c.prohibit, c.prohibitIid, reinterpret_cast<void**>(&prohibit)), S_OK);
  if (prohibit == nullptr) return;
  short value = 0;
  CHECK_EQ(prohibit->put_CommBautRate(0), S_OK);
  CHECK_EQ(prohibit->get_CommBautRate(&value), S_OK);
  CHECK_EQ(value, 9600);
  CHECK_EQ(prohibit->put_CommOutBufferSize(128), S_OK);
  CHECK_EQ(prohibit->get_CommOutBufferSize(&value), S_OK);
  CHECK_EQ(value, 128);
  prohibit->Release();
}

// In/out arguments: the adjusted value reaches the caller's variable, in the type it had where
// the value fits it; a by-value argument is never written.
void byReferenceWriteBack(const SolvardDll& dll, const Classes& c) {
  IDispatch* object = createDispatch(dll, c.prohibit);
  if (object == nullptr) return;
  struct Row {
    const char* name;
    const wchar_t* member;
    VARIANT variable;
    VARTYPE expectedType;
    long expected;
  };
  Row rows[] = {
      {"delay 0 in a 16-bit variable", L"SetResetDelay", i2(0), VT_I2, 5},
      {"delay 300 in a 32-bit variable", L"SetResetDelay", i4(300), VT_I4, 255},
      {"delay 9 kept", L"SetResetDelay", i2(9), VT_I2, 9},
      {"delay in an empty variable", L"setresetdelay", VARIANT{}, VT_I2, 5},
      {"delay as text", L"SetResetDelay", text(L"0"), VT_BSTR, 5},
      {"delay as a double", L"SetResetDelay", r8(-2.0), VT_R8, 5},
      {"lock mode 7", L"SetLockMode", i2(7), VT_I2, 0},
      {"lock mode 255", L"SetLockMode", i4(255), VT_I4, 255},
  };
  for (Row& row : rows) {
    CallOutcome out;
    method(object, row.member, {i2(-1), byRef(&row.variable)}, out);
    CHECK_EQ_AT(out.hr, S_OK, row.name);
    CHECK_EQ_AT(V_VT(&out.result), static_cast<VARTYPE>(VT_BOOL), row.name);
    CHECK_EQ_AT(V_BOOL(&out.result), VARIANT_FALSE, row.name);
    CHECK_EQ_AT(V_VT(&row.variable), row.expectedType, row.name);
    VARIANT asLong;
    VariantInit(&asLong);
    CHECK_EQ_AT(VariantChangeType(&asLong, &row.variable, 0, VT_I4), S_OK, row.name);
    CHECK_EQ_AT(V_I4(&asLong), row.expected, row.name);
    VariantClear(&row.variable);
  }

  // A value the member leaves as it was is not written: the caller's text stays as typed.
  VARIANT typed = text(L"09");
  CallOutcome unchanged;
  method(object, L"SetResetDelay", {i2(-1), byRef(&typed)}, unchanged);
  CHECK_EQ(unchanged.hr, S_OK);
  CHECK_EQ(V_VT(&typed), static_cast<VARTYPE>(VT_BSTR));
  if (V_VT(&typed) == VT_BSTR) CHECK(std::wstring(V_BSTR(&typed)) == L"09");
  VariantClear(&typed);

  // A card number comes back normalised, as text even to a variable that held a number.
  VARIANT card = i4(123);
  CallOutcome normalised;
  method(object, L"DeleteLockList", {i2(-1), byRef(&card)}, normalised);
  CHECK_EQ(normalised.hr, S_OK);
  CHECK_EQ(V_VT(&card), static_cast<VARTYPE>(VT_BSTR));
  if (V_VT(&card) == VT_BSTR) CHECK(std::wstring(V_BSTR(&card)) == L"0000000123");
  VariantClear(&card);

  short direct = 0;
  CallOutcome out;
  method(object, L"SetResetDelay", {i2(-1), byRef(&direct)}, out);
  CHECK_EQ(out.hr, S_OK);
  CHECK_EQ(direct, 5);

  VARIANT byValue = i2(0);
  CallOutcome plain;
  method(object, L"SetResetDelay", {i2(-1), byValue}, plain);
  CHECK_EQ(plain.hr, S_OK);
  CHECK_EQ(V_I2(&byValue), 0);

  // Named arguments in any order, as a host passes `iTime:=t, MachineNo:=-1`.
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"SetResetDelay"), const_cast<LPOLESTR>(L"itime"),
                      const_cast<LPOLESTR>(L"MachineNo")};
  DISPID namedIds[3] = {};
  CHECK_EQ(object->GetIDsOfNames(IID_NULL, names, 3, 0, namedIds), S_OK);
  CHECK_EQ(namedIds[1], 1);
  CHECK_EQ(namedIds[2], 0);
  short named = 300;
  VARIANT namedArgs[2] = {byRef(&named), i2(-1)};
  DISPID order[2] = {1, 0};
  DISPPARAMS params{namedArgs, order, 2, 2};
  VARIANT result;
  VariantInit(&result);
  CHECK_EQ(
      object->Invoke(namedIds[0], IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
      S_OK);
  CHECK_EQ(named, 255);
  object->Release();

  _Prohibit* prohibit = nullptr;
  CHECK_EQ(dll.create(c.prohibit, c.prohibitIid, reinterpret_cast<void**>(&prohibit)), S_OK);
  if (prohibit == nullptr) return;
  short delay = 0;
  VARIANT_BOOL done = VARIANT_TRUE;
  CHECK_EQ(prohibit->SetResetDelay(-1, &delay, &done), S_OK);
  CHECK_EQ(delay, 5);
  CHECK_EQ(done, VARIANT_FALSE);
  short mode = 7;
  CHECK_EQ(prohibit->SetLockMode(-1, &mode, &done), S_OK);
  CHECK_EQ(mode, 0);
  CHECK_EQ(prohibit->SetResetDelay(-1, nullptr, &done), E_POINTER);
  LONG state = 9;
  CHECK_EQ(prohibit->GetLockState(-1, &state), S_OK);
  CHECK_EQ(state, 0);
  prohibit->Release();
}

// A failed call never reads as success: every refusal below returns its exact failure, and an
// automation error carries its number in the control facility with source and description.
void failedCalls(const SolvardDll& dll, const Classes& c) {
  IDispatch* object = createDispatch(dll, c.prohibit);
  if (object == nullptr) return;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  VARIANT arrayArg;
  VariantInit(&arrayArg);
  V_VT(&arrayArg) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&arrayArg) = array;
  VARIANT missing;
  VariantInit(&missing);
  V_VT(&missing) = VT_ERROR;
  V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
  VARIANT objectArg;
  VariantInit(&objectArg);
  V_VT(&objectArg) = VT_DISPATCH;
  V_DISPATCH(&objectArg) = object;
  object->AddRef();  // the argument holds its own reference

  struct Row {
    const char* name;
    const wchar_t* member;
    WORD flags;
    std::vector<VARIANT> args;
    HRESULT expected;  // the Invoke result
    HRESULT scode;     // the exception's code, when the member raised one
    const wchar_t* description;
  };
  short delay = 0;
  const HRESULT raised = DISP_E_EXCEPTION;
  std::vector<Row> rows = {
      {"text for a 16-bit argument",
       L"SetResetDelay",
       DISPATCH_METHOD,
       {text(L"abc"), byRef(&delay)},
       raised,
       controlError(13),
       L"Type mismatch"},
      {"out of the 16-bit range",
       L"SetResetDelay",
       DISPATCH_METHOD,
       {i4(40000), byRef(&delay)},
       raised,
       controlError(6),
       L"Overflow"},
      {"Null",
       L"SetResetDelay",
       DISPATCH_METHOD,
       {null(), byRef(&delay)},
       raised,
       controlError(94),
       L"Invalid use of Null"},
      {"missing argument",
       L"SetLockMode",
       DISPATCH_METHOD,
       {i2(1), missing},
       raised,
       controlError(450),
       L"Wrong number of arguments or invalid property assignment"},
      {"text for the language module",
       L"GetLanRes",
       DISPATCH_PROPERTYPUT,
       {text(L"abc")},
       raised,
       controlError(13),
       L"Type mismatch"},
      {"an array",
       L"GetLanRes",
       DISPATCH_PROPERTYPUT,
       {arrayArg},
       raised,
       controlError(13),
       L"Type mismatch"},
      {"an object",
       L"CommPortID",
       DISPATCH_PROPERTYPUT,
       {objectArg},
       raised,
       controlError(13),
       L"Type mismatch"},
      {"too few arguments",
       L"SetResetDelay",
       DISPATCH_METHOD,
       {i2(1)},
       DISP_E_BADPARAMCOUNT,
       0,
       L""},
      {"let of a read-only property",
       L"CommInBufferSize",
       DISPATCH_PROPERTYPUT,
       {i2(1)},
       DISP_E_MEMBERNOTFOUND,
       0,
       L""},
      {"unknown member", L"NoSuchMember", DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0, L""},
  };
  for (Row& row : rows) {
    for (bool withRecord : {true, false}) {
      // The call clears its by-value arguments: each pass gets copies.
      std::vector<VARIANT> args(row.args.size());
      for (size_t i = 0; i < args.size(); ++i) {
        VariantInit(&args[i]);
        VariantCopy(&args[i], &row.args[i]);
      }
      CallOutcome out;
      call(object, row.member, row.flags, args, out, withRecord);
      const std::string at = std::string(row.name) + (withRecord ? "" : " (no record)");
      CHECK_EQ_AT(FAILED(out.hr), true, at);
      if (withRecord) {
        CHECK_EQ_AT(out.hr, row.expected, at);
        if (row.expected == raised) {
          CHECK_EQ_AT(out.excep.scode, row.scode, at);
          CHECK_EQ_AT(out.source(), std::wstring(L"Solvard"), at);
          CHECK_EQ_AT(out.description(), std::wstring(row.description), at);
        }
      } else {
        // Without a record to fill, the error's own code comes back.
        CHECK_EQ_AT(out.hr, row.expected == raised ? row.scode : row.expected, at);
      }
    }
  }
  for (Row& row : rows) {
    for (VARIANT& v : row.args) VariantClear(&v);
  }
  object->Release();

  // The vtable path: the same numbers as HRESULTs, the description through GetErrorInfo.
  _Attend* attend = nullptr;
  CHECK_EQ(dll.create(c.attend, c.attendIid, reinterpret_cast<void**>(&attend)), S_OK);
  if (attend == nullptr) return;
  struct VtRow {
    const char* name;
    VARIANT value;
    HRESULT expected;
    const wchar_t* description;
  };
  VtRow vtRows[] = {
      {"text", text(L"abc"), controlError(13), L"Type mismatch"},
      {"Null", null(), controlError(94), L"Invalid use of Null"},
      {"too large", r8(1e12), controlError(6), L"Overflow"},
      {"number", i4(0), S_OK, nullptr},
  };
  for (VtRow& row : vtRows) {
    SetErrorInfo(0, nullptr);
    CHECK_EQ_AT(attend->put_GetLanRes(row.value), row.expected, row.name);
    IErrorInfo* info = nullptr;
    HRESULT got = GetErrorInfo(0, &info);
    if (row.description == nullptr) {
      CHECK_EQ_AT(got, S_FALSE, row.name);
    } else {
      CHECK_EQ_AT(got, S_OK, row.name);
      if (info != nullptr) {
        BSTR description = nullptr;
        BSTR source = nullptr;
        info->GetDescription(&description);
        info->GetSource(&source);
        CHECK_EQ_AT(std::wstring(description ? description : L""), std::wstring(row.description),
                    row.name);
        CHECK_EQ_AT(std::wstring(source ? source : L""), std::wstring(L"Solvard"), row.name);
        SysFreeString(description);
        SysFreeString(source);
      }
    }
    if (info != nullptr) info->Release();
    VariantClear(&row.value);
  }
  ISupportErrorInfo* support = nullptr;
  CHECK_EQ(attend->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
  if (support != nullptr) {
    CHECK_EQ(support->InterfaceSupportsErrorInfo(c.attendIid), S_OK);
    CHECK_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
    support->Release();
  }
  attend->Release();
}

// A malformed call from a host is refused before anything runs.
void malformedCalls(const SolvardDll& dll, const Classes& c) {
  IDispatch* object = createDispatch(dll, c.prohibit);
  if (object == nullptr) return;
  const DISPID delay = dispidOf(object, L"SetResetDelay");
  const DISPID baud = dispidOf(object, L"CommBautRate");
  short t = 0;
  VARIANT args[2] = {byRef(&t), i2(-1)};
  DISPID putId = DISPID_PROPERTYPUT;
  DISPID farNamed[1] = {7};
  struct Row {
    const char* name;
    DISPID member;
    const IID* iid;
    WORD flags;
    DISPPARAMS params;
    bool nullParams;
    HRESULT expected;
  };
  const Row rows[] = {
      {"no parameters", delay, &IID_NULL, DISPATCH_METHOD, {}, true, E_INVALIDARG},
      {"arguments without their array",
       delay,
       &IID_NULL,
       DISPATCH_METHOD,
       {nullptr, nullptr, 2, 0},
       false,
       E_INVALIDARG},
      {"more names than arguments",
       delay,
       &IID_NULL,
       DISPATCH_METHOD,
       {args, farNamed, 1, 2},
       false,
       E_INVALIDARG},
      {"names without their array",
       delay,
       &IID_NULL,
       DISPATCH_METHOD,
       {args, nullptr, 2, 1},
       false,
       E_INVALIDARG},
      {"a named argument past the last",
       delay,
       &IID_NULL,
       DISPATCH_METHOD,
       {args, farNamed, 2, 1},
       false,
       DISP_E_PARAMNOTFOUND},
      {"a let without its value's name",
       baud,
       &IID_NULL,
       DISPATCH_PROPERTYPUT,
       {args + 1, nullptr, 1, 0},
       false,
       DISP_E_PARAMNOTOPTIONAL},
      {"a let with an index",
       baud,
       &IID_NULL,
       DISPATCH_PROPERTYPUT,
       {args, &putId, 2, 1},
       false,
       DISP_E_BADPARAMCOUNT},
      {"an interface identifier",
       delay,
       &IID_IDispatch,
       DISPATCH_METHOD,
       {args, nullptr, 2, 0},
       false,
       DISP_E_UNKNOWNINTERFACE},
      {"no call kind", delay, &IID_NULL, 0, {args, nullptr, 2, 0}, false, DISP_E_MEMBERNOTFOUND},
  };
  for (const Row& row : rows) {
    DISPPARAMS params = row.params;
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr =
        object->Invoke(row.member, *row.iid, 0, row.flags, row.nullParams ? nullptr : &params,
                       &result, nullptr, nullptr);
    CHECK_EQ_AT(hr, row.expected, row.name);
  }
  CHECK_EQ(t, 0);  // none of them ran the member

  // Names the interface does not have.
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
  LPOLESTR badParam[] = {const_cast<LPOLESTR>(L"SetResetDelay"), const_cast<LPOLESTR>(L"iMod")};
  DISPID ids[2] = {0, 0};
  CHECK_EQ(object->GetIDsOfNames(IID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
  CHECK_EQ(ids[0], DISPID_UNKNOWN);
  CHECK_EQ(object->GetIDsOfNames(IID_NULL, badParam, 2, 0, ids), DISP_E_UNKNOWNNAME);
  CHECK_EQ(ids[0], delay);
  CHECK_EQ(ids[1], DISPID_UNKNOWN);
  CHECK_EQ(object->GetIDsOfNames(IID_IDispatch, unknown, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
  UINT infoCount = 0;
  CHECK_EQ(object->GetTypeInfoCount(&infoCount), S_OK);
  CHECK_EQ(infoCount, 1u);
  object->Release();
  void* none = &t;
  CHECK_EQ(dll.getClassObject(c.attend, IID_IClassFactory, nullptr), E_POINTER);
  CHECK_EQ(dll.getClassObject(c.attend, IID_IDispatch, &none), E_NOINTERFACE);
  CHECK(none == nullptr);
}

// Which identifiers each class answers, all with the one dual interface.
void interfaceIdentity(const SolvardDll& dll, const Classes& c) {
  struct Row {
    const char* name;
    const GUID* clsid;
    const GUID* iid;
    bool answers;
  };
  const Row rows[] = {
      {"Attend IUnknown", &c.attend, &IID_IUnknown, true},
      {"Attend IDispatch", &c.attend, &IID_IDispatch, true},
      {"Attend _Attend", &c.attend, &c.attendIid, true},
      {"Attend _Prohibit", &c.attend, &c.prohibitIid, false},
      {"Attend Prohibit___v0", &c.attend, &c.prohibitV0, false},
      {"Prohibit IUnknown", &c.prohibit, &IID_IUnknown, true},
      {"Prohibit IDispatch", &c.prohibit, &IID_IDispatch, true},
      {"Prohibit _Prohibit", &c.prohibit, &c.prohibitIid, true},
      {"Prohibit Prohibit___v0", &c.prohibit, &c.prohibitV0, true},
      {"Prohibit _Attend", &c.prohibit, &c.attendIid, false},
      {"Prohibit IClassFactory", &c.prohibit, &IID_IClassFactory, false},
  };
  for (const Row& row : rows) {
    IUnknown* object = nullptr;
    CHECK_EQ_AT(dll.create(*row.clsid, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK,
                row.name);
    if (object == nullptr) continue;
    IDispatch* dispatch = nullptr;
    object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    void* answer = nullptr;
    HRESULT hr = object->QueryInterface(*row.iid, &answer);
    CHECK_EQ_AT(hr, row.answers ? S_OK : E_NOINTERFACE, row.name);
    if (row.answers && !IsEqualIID(*row.iid, IID_IUnknown)) {
      CHECK_EQ_AT(answer, static_cast<void*>(dispatch), row.name);
    }
    if (answer != nullptr) static_cast<IUnknown*>(answer)->Release();
    if (dispatch != nullptr) {
      ITypeInfo* info = nullptr;
      CHECK_EQ_AT(dispatch->GetTypeInfo(0, 0, &info), S_OK, row.name);
      if (info != nullptr) {
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        const GUID& expected = (row.clsid == &c.attend) ? c.attendIid : c.prohibitIid;
        CHECK_EQ_AT(IsEqualGUID(attr->guid, expected), TRUE, row.name);
        info->ReleaseTypeAttr(attr);
        info->Release();
      }
      CHECK_EQ_AT(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX, row.name);
      dispatch->Release();
    }
    object->Release();
  }

  IProvideClassInfo* provide = nullptr;
  CHECK_EQ(dll.create(c.prohibit, IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)), S_OK);
  if (provide != nullptr) {
    ITypeInfo* info = nullptr;
    CHECK_EQ(provide->GetClassInfo(&info), S_OK);
    if (info != nullptr) {
      TYPEATTR* attr = nullptr;
      info->GetTypeAttr(&attr);
      CHECK_EQ(IsEqualGUID(attr->guid, c.prohibit), TRUE);
      info->ReleaseTypeAttr(attr);
      info->Release();
    }
    provide->Release();
  }
  IClassFactory* none = nullptr;
  CHECK_EQ(dll.getClassObject(c.attendIid, IID_IClassFactory, reinterpret_cast<void**>(&none)),
           CLASS_E_CLASSNOTAVAILABLE);
}

// The host may unload the DLL only when no object, factory or lock is left.
void unloadCounts(const SolvardDll& dll, const Classes& c) {
  CHECK_EQ(dll.canUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  CHECK_EQ(dll.getClassObject(c.attend, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
           S_OK);
  if (factory == nullptr) return;
  CHECK_EQ(dll.canUnloadNow(), S_FALSE);
  IDispatch* object = nullptr;
  CHECK_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)),
           S_OK);
  IUnknown* outer = object;
  IUnknown* aggregated = nullptr;
  CHECK_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&aggregated)),
           CLASS_E_NOAGGREGATION);
  CHECK_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  CHECK_EQ(dll.canUnloadNow(), S_FALSE);
  if (object != nullptr) object->Release();
  CHECK_EQ(dll.canUnloadNow(), S_FALSE);  // still locked
  IClassFactory* again = nullptr;
  dll.getClassObject(c.attend, IID_IClassFactory, reinterpret_cast<void**>(&again));
  if (again != nullptr) {
    again->LockServer(FALSE);
    again->Release();
  }
  CHECK_EQ(dll.canUnloadNow(), S_OK);
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    SolvardDll dll;
    CHECK(dll.loaded());
    if (dll.loaded()) {
      const Classes classes;
      unloadCounts(dll, classes);
      propertyDefaults(dll, classes);
      propertyLets(dll, classes);
      byReferenceWriteBack(dll, classes);
      failedCalls(dll, classes);
      malformedCalls(dll, classes);
      interfaceIdentity(dll, classes);
      CHECK_EQ(dll.canUnloadNow(), S_OK);  // nothing above leaked an object
    }
  }
  CoUninitialize();
  return finish("object_test");
}
