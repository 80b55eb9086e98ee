// The type library embedded in Solvard.dll, compared member for member with the core's
// interface table: what early-bound hosts compile against must be what the dispatch serves.

#include <oaidl.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "check.hpp"
#include "component/identifiers.hpp"
#include "component/interface_table.hpp"
#include "solvard_dll.hpp"

using solvard::component::InterfaceInfo;
using solvard::component::Member;
using solvard::component::MemberKind;
using solvard::component::ParamType;
using solvard::test::guidFromText;
using solvard::test::narrow;

namespace {

VARTYPE vartypeOf(ParamType t) {
  switch (t) {
    case ParamType::Int16: return VT_I2;
    case ParamType::Int32: return VT_I4;
    case ParamType::Text: return VT_BSTR;
    case ParamType::Date: return VT_DATE;
    case ParamType::Variant: return VT_VARIANT;
    case ParamType::Bool: return VT_BOOL;
    case ParamType::Void: return VT_VOID;
  }
  return VT_ILLEGAL;
}

INVOKEKIND invokeKindOf(MemberKind k) {
  switch (k) {
    case MemberKind::Method: return INVOKE_FUNC;
    case MemberKind::PropertyLet: return INVOKE_PROPERTYPUT;
    case MemberKind::PropertyGet: return INVOKE_PROPERTYGET;
  }
  return INVOKE_FUNC;
}

std::wstring wide(std::string_view s) { return std::wstring(s.begin(), s.end()); }

std::wstring nameOf(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) return L"?";
  std::wstring out(name, SysStringLen(name));
  SysFreeString(name);
  return out;
}

// One parameter's type and flags, pointers followed once.
void checkParam(const ELEMDESC& e, ParamType type, bool byRef, USHORT flags,
                const std::string& row) {
  const TYPEDESC& td = e.tdesc;
  if (byRef) {
    CHECK_EQ_AT(td.vt, static_cast<VARTYPE>(VT_PTR), row);
    if (td.vt == VT_PTR) CHECK_EQ_AT(td.lptdesc->vt, vartypeOf(type), row);
  } else {
    CHECK_EQ_AT(td.vt, vartypeOf(type), row);
  }
  CHECK_EQ_AT(e.paramdesc.wParamFlags, flags, row);
}

constexpr WORD kVtableFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                              TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;

// The vtable interface behind a dual interface's dispatch type info: under Wine the dispatch
// info's member indices are shifted by IDispatch's seven, the vtable info's are not.
void checkMembers(ITypeInfo* vtableInfo, const InterfaceInfo& table) {
  TYPEATTR* attr = nullptr;
  if (FAILED(vtableInfo->GetTypeAttr(&attr))) {
    CHECK(!"vtable type attributes");
    return;
  }
  CHECK_EQ_AT(attr->typekind, TKIND_INTERFACE, std::string(table.name));
  CHECK_EQ_AT(attr->wTypeFlags, kVtableFlags, std::string(table.name));
  CHECK_EQ_AT(static_cast<size_t>(attr->cFuncs), table.members.size(), std::string(table.name));
  const UINT count = attr->cFuncs;
  vtableInfo->ReleaseTypeAttr(attr);

  for (UINT i = 0; i < count && i < table.members.size(); ++i) {
    const Member& m = table.members[i];
    const std::string row = std::string(table.name) + "." + std::string(m.name) + " " +
                            std::string(solvard::component::memberKindName(m.kind));
    FUNCDESC* f = nullptr;
    if (FAILED(vtableInfo->GetFuncDesc(i, &f))) {
      CHECK_EQ_AT(std::string("no function"), std::string("function"), row);
      continue;
    }
    CHECK_EQ_AT(static_cast<uint32_t>(f->memid), m.dispid, row);
    CHECK_EQ_AT(static_cast<size_t>(f->oVft), static_cast<size_t>(m.slot) * sizeof(void*), row);
    CHECK_EQ_AT(f->invkind, invokeKindOf(m.kind), row);
    CHECK_EQ_AT(f->funckind, FUNC_PUREVIRTUAL, row);
    CHECK_EQ_AT(f->elemdescFunc.tdesc.vt, static_cast<VARTYPE>(VT_HRESULT), row);
    CHECK_EQ_AT(f->cParamsOpt, 0, row);
    CHECK_EQ_AT(nameOf(vtableInfo, f->memid), wide(m.name), row);
    const bool hasResult = m.returns != ParamType::Void;
    CHECK_EQ_AT(static_cast<size_t>(f->cParams), m.params.size() + (hasResult ? 1 : 0), row);
    if (static_cast<size_t>(f->cParams) == m.params.size() + (hasResult ? 1 : 0)) {
      for (size_t p = 0; p < m.params.size(); ++p) {
        const auto& param = m.params[p];
        const USHORT flags = param.byRef ? (PARAMFLAG_FIN | PARAMFLAG_FOUT) : PARAMFLAG_FIN;
        checkParam(f->lprgelemdescParam[p], param.type, param.byRef, flags,
                   row + " param " + std::string(param.name));
      }
      if (hasResult) {
        checkParam(f->lprgelemdescParam[m.params.size()], m.returns, true,
                   PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, row + " result");
      }
    }
    // Parameter names: methods only, whose member identifiers are their own (a property's let
    // and get share one).
    if (m.kind == MemberKind::Method) {
      BSTR names[16] = {};
      UINT got = 0;
      vtableInfo->GetNames(f->memid, names, 16, &got);
      CHECK_EQ_AT(static_cast<size_t>(got), m.params.size() + 1 + (hasResult ? 1 : 0), row);
      for (size_t p = 0; p < m.params.size() && p + 1 < got; ++p)
        CHECK_EQ_AT(std::wstring(names[p + 1]), wide(m.params[p].name), row);
      for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
    }
    vtableInfo->ReleaseFuncDesc(f);
  }
}

struct TypeRow {
  const char* name;
  const char* guid;
  TYPEKIND kind;
  WORD major;
  WORD minor;
  WORD flags;
};

void checkType(ITypeLib* lib, const TypeRow& row) {
  ITypeInfo* info = nullptr;
  if (FAILED(lib->GetTypeInfoOfGuid(guidFromText(row.guid), &info))) {
    CHECK_EQ_AT(std::string("missing"), std::string("present"), row.name);
    return;
  }
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  CHECK_EQ_AT(attr->typekind, row.kind, row.name);
  CHECK_EQ_AT(attr->wMajorVerNum, row.major, row.name);
  CHECK_EQ_AT(attr->wMinorVerNum, row.minor, row.name);
  CHECK_EQ_AT(attr->wTypeFlags, row.flags, row.name);
  CHECK_EQ_AT(nameOf(info, MEMBERID_NIL), wide(row.name), row.name);
  info->ReleaseTypeAttr(attr);
  info->Release();
}

// The referenced type of a class's default interface or an alias, by identifier.
GUID referencedGuid(ITypeInfo* info, HREFTYPE ref) {
  ITypeInfo* target = nullptr;
  GUID guid = GUID_NULL;
  if (SUCCEEDED(info->GetRefTypeInfo(ref, &target))) {
    TYPEATTR* attr = nullptr;
    target->GetTypeAttr(&attr);
    guid = attr->guid;
    target->ReleaseTypeAttr(attr);
    target->Release();
  }
  return guid;
}

void checkInterface(ITypeLib* lib, const InterfaceInfo& table) {
  ITypeInfo* dispatchInfo = nullptr;
  if (FAILED(lib->GetTypeInfoOfGuid(guidFromText(table.iid.data()), &dispatchInfo))) return;
  HREFTYPE ref = 0;
  ITypeInfo* vtableInfo = nullptr;
  if (SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(-1, &ref)) &&
      SUCCEEDED(dispatchInfo->GetRefTypeInfo(ref, &vtableInfo))) {
    checkMembers(vtableInfo, table);
    vtableInfo->Release();
  } else {
    CHECK_EQ_AT(std::string("no vtable interface"), std::string("dual"), std::string(table.name));
  }
  dispatchInfo->Release();

  // The class's one implemented interface is this one, as its default.
  ITypeInfo* classInfo = nullptr;
  if (SUCCEEDED(lib->GetTypeInfoOfGuid(guidFromText(table.clsid.data()), &classInfo))) {
    int implFlags = 0;
    classInfo->GetImplTypeFlags(0, &implFlags);
    CHECK_EQ_AT(implFlags, IMPLTYPEFLAG_FDEFAULT, std::string(table.className));
    HREFTYPE implRef = 0;
    classInfo->GetRefTypeOfImplType(0, &implRef);
    CHECK_EQ_AT(IsEqualGUID(referencedGuid(classInfo, implRef), guidFromText(table.iid.data())),
                TRUE, std::string(table.className));
    classInfo->Release();
  }
}

void checkAlias(ITypeLib* lib) {
  ITypeInfo* alias = nullptr;
  if (FAILED(lib->GetTypeInfoOfGuid(
          guidFromText(solvard::component::ids::kProhibitInterfaceV0.data()), &alias)))
    return;
  TYPEATTR* attr = nullptr;
  alias->GetTypeAttr(&attr);
  CHECK_EQ(attr->tdescAlias.vt, static_cast<VARTYPE>(VT_USERDEFINED));
  if (attr->tdescAlias.vt == VT_USERDEFINED) {
    CHECK_EQ(IsEqualGUID(referencedGuid(alias, attr->tdescAlias.hreftype),
                         guidFromText(solvard::component::ids::kProhibitInterface.data())),
             TRUE);
  }
  alias->ReleaseTypeAttr(attr);
  alias->Release();
}

// The identifier lists of the DLL's INTERFACES resources, one per class.
void checkInterfaceResources(HMODULE module) {
  struct Row {
    const wchar_t* name;
    std::vector<std::string> expected;
  };
  namespace ids = solvard::component::ids;
  const Row rows[] = {
      {L"ATTEND", {std::string(ids::kAttendInterface)}},
      {L"PROHIBIT", {std::string(ids::kProhibitInterface), std::string(ids::kProhibitInterfaceV0)}},
  };
  for (const Row& row : rows) {
    HRSRC found = FindResourceW(module, row.name, L"INTERFACES");
    CHECK_EQ_AT(found != nullptr, true, narrow(row.name));
    if (found == nullptr) continue;
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    std::vector<std::string> listed;
    for (DWORD at = 0; at < size;) {
      std::string entry(data + at, strnlen(data + at, size - at));
      at += static_cast<DWORD>(entry.size()) + 1;
      listed.push_back(entry);
    }
    CHECK_EQ_AT(listed == row.expected, true, narrow(row.name));
  }
}

}  // namespace

int main() {
  namespace ids = solvard::component::ids;
  solvard::test::SolvardDll dll;
  CHECK(dll.loaded());
  if (!dll.loaded()) return solvard::test::finish("typelib_test");

  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(dll.path().c_str(), REGKIND_NONE, &lib);
  CHECK_EQ(hr, S_OK);
  if (FAILED(hr)) return solvard::test::finish("typelib_test");

  TLIBATTR* libAttr = nullptr;
  lib->GetLibAttr(&libAttr);
  CHECK_EQ(IsEqualGUID(libAttr->guid, guidFromText(ids::kTypeLibrary.data())), TRUE);
  CHECK_EQ(libAttr->wMajorVerNum, 19);
  CHECK_EQ(libAttr->wMinorVerNum, 1);
  CHECK_EQ(libAttr->lcid, static_cast<LCID>(ids::kTypeLibraryLocale));
  lib->ReleaseTLibAttr(libAttr);
  BSTR libName = nullptr;
  lib->GetDocumentation(-1, &libName, nullptr, nullptr, nullptr);
  CHECK_EQ(std::wstring(libName), std::wstring(L"Solvard"));
  SysFreeString(libName);
  CHECK_EQ(lib->GetTypeInfoCount(), 5u);

  // The dispatch side of a dual interface; automation compatibility is a flag of its vtable
  // side, checked with the members.
  constexpr WORD kInterfaceFlags =
      TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
  const TypeRow types[] = {
      {"_Attend", ids::kAttendInterface.data(), TKIND_DISPATCH, 1, 0, kInterfaceFlags},
      {"Attend", ids::kAttendClass.data(), TKIND_COCLASS, 1, 0, TYPEFLAG_FCANCREATE},
      {"_Prohibit", ids::kProhibitInterface.data(), TKIND_DISPATCH, 1, 1, kInterfaceFlags},
      {"Prohibit", ids::kProhibitClass.data(), TKIND_COCLASS, 1, 1, TYPEFLAG_FCANCREATE},
      {"Prohibit___v0", ids::kProhibitInterfaceV0.data(), TKIND_ALIAS, 1, 0, TYPEFLAG_FHIDDEN},
  };
  for (const TypeRow& row : types) checkType(lib, row);

  for (const InterfaceInfo* table : solvard::component::allInterfaces())
    checkInterface(lib, *table);
  checkAlias(lib);
  checkInterfaceResources(GetModuleHandleW(dll.path().c_str()));

  lib->Release();
  return solvard::test::finish("typelib_test");
}
