#pragma once

#include <oaidl.h>
#include <windows.h>

#include <exception>

#include "automation/error.hpp"

namespace solvard::windows {

// The HRESULT a host sees for an automation error number. Script hosts show Err.Number = n
// only for the control facility's form; a bare n would read as success. Numbers that do not fit
// the 16-bit code still fail, as E_FAIL.
HRESULT hresultOfError(const automation::AutomationError& error);

// Fills a dispatch caller's exception record (source "Solvard").
void fillExcepInfo(const automation::AutomationError& error, EXCEPINFO& info);
// Leaves the error for a vtable caller's GetErrorInfo.
void setErrorInfo(const automation::AutomationError& error, REFIID iid);

// The failure HRESULT of whatever is in flight in a catch block: an automation error (recorded
// for GetErrorInfo), no memory, or anything else as E_UNEXPECTED. No exception crosses into
// the host.
HRESULT hresultOfCurrentException(REFIID iid);

}  // namespace solvard::windows
