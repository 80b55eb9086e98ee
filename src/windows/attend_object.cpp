#include "windows/attend_object.hpp"

#include <array>

#include "component/factory.hpp"
#include "component/identifiers.hpp"
#include "windows/vtable_call.hpp"

namespace solvard::windows {
namespace {

std::span<const GUID> attendInterfaceIds() {
  static const std::array<GUID, 1> ids = {guidOf(component::ids::kAttendInterface)};
  return ids;
}

using A = VtArg;
using R = VtResult;

}  // namespace

AttendObject::AttendObject()
    : ComObject(component::createObject(component::ids::kAttendProgId), attendInterfaceIds()) {}

HRESULT AttendObject::put_CommOutBufferSize(short value) {
  return callSlot(core(), iid(), 7, {A::in(value)}, R::none());
}
HRESULT AttendObject::get_CommOutBufferSize(short* result) {
  return callSlot(core(), iid(), 8, {}, R::out(result));
}
HRESULT AttendObject::put_CommInBufferSize(short value) {
  return callSlot(core(), iid(), 9, {A::in(value)}, R::none());
}
HRESULT AttendObject::get_CommInBufferSize(short* result) {
  return callSlot(core(), iid(), 10, {}, R::out(result));
}
HRESULT AttendObject::put_CommBautRate(short value) {
  return callSlot(core(), iid(), 11, {A::in(value)}, R::none());
}
HRESULT AttendObject::get_CommBautRate(short* result) {
  return callSlot(core(), iid(), 12, {}, R::out(result));
}
HRESULT AttendObject::put_CommPortID(short value) {
  return callSlot(core(), iid(), 13, {A::in(value)}, R::none());
}
HRESULT AttendObject::get_CommPortID(short* result) {
  return callSlot(core(), iid(), 14, {}, R::out(result));
}
HRESULT AttendObject::ClearListInMac(short MachineNo, short* FuncID, LONG* result) {
  return callSlot(core(), iid(), 15, {A::in(MachineNo), A::inOut(FuncID)}, R::out(result));
}
HRESULT AttendObject::SetCardFlowNo(short MachineNo, BSTR FlowNo, BSTR OriginalNo, LONG* result) {
  return callSlot(core(), iid(), 16, {A::in(MachineNo), A::in(FlowNo), A::in(OriginalNo)},
                  R::out(result));
}
HRESULT AttendObject::GetOriginalCardNo(short MachineNo, BSTR* result) {
  return callSlot(core(), iid(), 17, {A::in(MachineNo)}, R::out(result));
}
HRESULT AttendObject::AdjustDate(short MachineNo, DATE inDate, LONG* result) {
  return callSlot(core(), iid(), 18, {A::in(MachineNo), A::inDate(inDate)}, R::out(result));
}
HRESULT AttendObject::AdjustTime(short MachineNo, VARIANT inTime, LONG* result) {
  return callSlot(core(), iid(), 19, {A::in(MachineNo), A::in(inTime)}, R::out(result));
}
HRESULT AttendObject::ClearMacData(short MachineNo, LONG* result) {
  return callSlot(core(), iid(), 20, {A::in(MachineNo)}, R::out(result));
}
HRESULT AttendObject::GetMacData(short MachineNo, LONG* result) {
  return callSlot(core(), iid(), 21, {A::in(MachineNo)}, R::out(result));
}
HRESULT AttendObject::DelCardNo(short* MachineNo, VARIANT WillDelCardNo, LONG* result) {
  return callSlot(core(), iid(), 22, {A::inOut(MachineNo), A::in(WillDelCardNo)}, R::out(result));
}
HRESULT AttendObject::put_ConnectString(BSTR value) {
  return callSlot(core(), iid(), 23, {A::in(value)}, R::none());
}
HRESULT AttendObject::get_ConnectString(BSTR* result) {
  return callSlot(core(), iid(), 24, {}, R::out(result));
}
HRESULT AttendObject::put_GetLanRes(VARIANT value) {
  return callSlot(core(), iid(), 25, {A::in(value)}, R::none());
}

}  // namespace solvard::windows
