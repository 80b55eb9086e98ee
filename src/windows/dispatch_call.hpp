#pragma once

#include <oaidl.h>
#include <windows.h>

#include "component/dispatch.hpp"

namespace solvard::windows {

// IDispatch::GetIDsOfNames over the interface table: the member name without regard to case,
// then parameter names, which are numbered by their position (0 is the first parameter).
HRESULT idsOfNames(const component::InterfaceInfo& info, LPOLESTR* names, UINT count, DISPID* ids);

// IDispatch::Invoke over the interface table, not the type library's stock Invoke: script hosts
// pass every variable by reference (VT_BYREF|VT_VARIANT), which that refuses for 16-bit
// parameters. Arguments arrive last first; a property let carries its value as the named
// argument DISPID_PROPERTYPUT. In/out values the member changed are written back into
// by-reference arguments, also when the member fails after adjusting them; an argument it left
// as it was is not written. A failed member returns DISP_E_EXCEPTION with
// `excepInfo` filled (or the error's own HRESULT when there is no record to fill), never S_OK.
HRESULT invokeDispatch(component::DispatchObject& object, REFIID iid, DISPID member, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argError);

}  // namespace solvard::windows
