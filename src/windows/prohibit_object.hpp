#pragma once

#include "solvard_h.h"
#include "windows/com_object.hpp"

namespace solvard::windows {

// `Solvard.Prohibit` as a COM object: the dual interface `_Prohibit`, which it also gives out
// under the identifier it was first published with (`Prohibit___v0`).
class ProhibitObject final : public ComObject<_Prohibit> {
 public:
  ProhibitObject();

  HRESULT STDMETHODCALLTYPE GetID(short MachineNo, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE SetResetDelay(short MachineNo, short* iTime,
                                          VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE SetLockMode(short MachineNo, short* iMod,
                                        VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE SetMacDateAndWeek(short* iMachineNo, DATE* iDate, short* iFirstWeek,
                                              VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE SetMacTime(short* iMachineNo, BSTR* iPara,
                                       VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE GetRegisterData(short iMachineNo, BSTR* iConnectString, BSTR* iTable,
                                            BSTR* result) override;
  HRESULT STDMETHODCALLTYPE SetOpenList(short MachineNo, BSTR* iCardNo, BSTR* iFirstYear,
                                        BSTR* iLastYear, BSTR* iFirstTime, BSTR* iLastTime,
                                        short* iStartWeek, short* iEndWeek,
                                        VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE DeleteLockList(short MachineNo, BSTR* iCardNo,
                                           VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE SetLockOpenState(short MachineNo, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE ClearOpenList(short MachineNo, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE ClearOpenRecord(short MachineNo, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE GetLockState(short MachineNo, LONG* result) override;
  HRESULT STDMETHODCALLTYPE OpenLock(short MachineNo, VARIANT_BOOL* result) override;
  HRESULT STDMETHODCALLTYPE put_GetLanRes(VARIANT value) override;
  HRESULT STDMETHODCALLTYPE put_CommOutBufferSize(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommOutBufferSize(short* result) override;
  HRESULT STDMETHODCALLTYPE get_CommInBufferSize(short* result) override;
  HRESULT STDMETHODCALLTYPE put_CommBautRate(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommBautRate(short* result) override;
  HRESULT STDMETHODCALLTYPE put_CommPortID(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommPortID(short* result) override;
};

}  // namespace solvard::windows
