#include "windows/prohibit_object.hpp"

#include <array>

#include "component/factory.hpp"
#include "component/identifiers.hpp"
#include "windows/vtable_call.hpp"

namespace solvard::windows {
namespace {

std::span<const GUID> prohibitInterfaceIds() {
  static const std::array<GUID, 2> ids = {guidOf(component::ids::kProhibitInterface),
                                          guidOf(component::ids::kProhibitInterfaceV0)};
  return ids;
}

using A = VtArg;
using R = VtResult;

}  // namespace

ProhibitObject::ProhibitObject()
    : ComObject(component::createObject(component::ids::kProhibitProgId), prohibitInterfaceIds()) {}

HRESULT ProhibitObject::GetID(short MachineNo, BSTR* result) {
  return callSlot(core(), iid(), 7, {A::in(MachineNo)}, R::out(result));
}
HRESULT ProhibitObject::SetResetDelay(short MachineNo, short* iTime, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 8, {A::in(MachineNo), A::inOut(iTime)}, R::boolean(result));
}
HRESULT ProhibitObject::SetLockMode(short MachineNo, short* iMod, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 9, {A::in(MachineNo), A::inOut(iMod)}, R::boolean(result));
}
HRESULT ProhibitObject::SetMacDateAndWeek(short* iMachineNo, DATE* iDate, short* iFirstWeek,
                                          VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 10, {A::inOut(iMachineNo), A::inOut(iDate), A::inOut(iFirstWeek)},
                  R::boolean(result));
}
HRESULT ProhibitObject::SetMacTime(short* iMachineNo, BSTR* iPara, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 11, {A::inOut(iMachineNo), A::inOut(iPara)}, R::boolean(result));
}
HRESULT ProhibitObject::GetRegisterData(short iMachineNo, BSTR* iConnectString, BSTR* iTable,
                                        BSTR* result) {
  return callSlot(core(), iid(), 12,
                  {A::in(iMachineNo), A::inOut(iConnectString), A::inOut(iTable)}, R::out(result));
}
HRESULT ProhibitObject::SetOpenList(short MachineNo, BSTR* iCardNo, BSTR* iFirstYear,
                                    BSTR* iLastYear, BSTR* iFirstTime, BSTR* iLastTime,
                                    short* iStartWeek, short* iEndWeek, VARIANT_BOOL* result) {
  return callSlot(
      core(), iid(), 13,
      {A::in(MachineNo), A::inOut(iCardNo), A::inOut(iFirstYear), A::inOut(iLastYear),
       A::inOut(iFirstTime), A::inOut(iLastTime), A::inOut(iStartWeek), A::inOut(iEndWeek)},
      R::boolean(result));
}
HRESULT ProhibitObject::DeleteLockList(short MachineNo, BSTR* iCardNo, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 14, {A::in(MachineNo), A::inOut(iCardNo)}, R::boolean(result));
}
HRESULT ProhibitObject::SetLockOpenState(short MachineNo, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 15, {A::in(MachineNo)}, R::boolean(result));
}
HRESULT ProhibitObject::ClearOpenList(short MachineNo, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 16, {A::in(MachineNo)}, R::boolean(result));
}
HRESULT ProhibitObject::ClearOpenRecord(short MachineNo, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 17, {A::in(MachineNo)}, R::boolean(result));
}
HRESULT ProhibitObject::GetLockState(short MachineNo, LONG* result) {
  return callSlot(core(), iid(), 18, {A::in(MachineNo)}, R::out(result));
}
HRESULT ProhibitObject::OpenLock(short MachineNo, VARIANT_BOOL* result) {
  return callSlot(core(), iid(), 19, {A::in(MachineNo)}, R::boolean(result));
}
HRESULT ProhibitObject::put_GetLanRes(VARIANT value) {
  return callSlot(core(), iid(), 20, {A::in(value)}, R::none());
}
HRESULT ProhibitObject::put_CommOutBufferSize(short value) {
  return callSlot(core(), iid(), 21, {A::in(value)}, R::none());
}
HRESULT ProhibitObject::get_CommOutBufferSize(short* result) {
  return callSlot(core(), iid(), 22, {}, R::out(result));
}
HRESULT ProhibitObject::get_CommInBufferSize(short* result) {
  return callSlot(core(), iid(), 23, {}, R::out(result));
}
HRESULT ProhibitObject::put_CommBautRate(short value) {
  return callSlot(core(), iid(), 24, {A::in(value)}, R::none());
}
HRESULT ProhibitObject::get_CommBautRate(short* result) {
  return callSlot(core(), iid(), 25, {}, R::out(result));
}
HRESULT ProhibitObject::put_CommPortID(short value) {
  return callSlot(core(), iid(), 26, {A::in(value)}, R::none());
}
HRESULT ProhibitObject::get_CommPortID(short* result) {
  return callSlot(core(), iid(), 27, {}, R::out(result));
}

}  // namespace solvard::windows
