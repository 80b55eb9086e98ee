#pragma once

#include "solvard_h.h"
#include "windows/com_object.hpp"

namespace solvard::windows {

// `Solvard.Attend` as a COM object: the dual interface `_Attend`, each slot handed to the core.
class AttendObject final : public ComObject<_Attend> {
 public:
  AttendObject();

  HRESULT STDMETHODCALLTYPE put_CommOutBufferSize(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommOutBufferSize(short* result) override;
  HRESULT STDMETHODCALLTYPE put_CommInBufferSize(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommInBufferSize(short* result) override;
  HRESULT STDMETHODCALLTYPE put_CommBautRate(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommBautRate(short* result) override;
  HRESULT STDMETHODCALLTYPE put_CommPortID(short value) override;
  HRESULT STDMETHODCALLTYPE get_CommPortID(short* result) override;
  HRESULT STDMETHODCALLTYPE ClearListInMac(short MachineNo, short* FuncID, LONG* result) override;
  HRESULT STDMETHODCALLTYPE SetCardFlowNo(short MachineNo, BSTR FlowNo, BSTR OriginalNo,
                                          LONG* result) override;
  HRESULT STDMETHODCALLTYPE GetOriginalCardNo(short MachineNo, BSTR* result) override;
  HRESULT STDMETHODCALLTYPE AdjustDate(short MachineNo, DATE inDate, LONG* result) override;
  HRESULT STDMETHODCALLTYPE AdjustTime(short MachineNo, VARIANT inTime, LONG* result) override;
  HRESULT STDMETHODCALLTYPE ClearMacData(short MachineNo, LONG* result) override;
  HRESULT STDMETHODCALLTYPE GetMacData(short MachineNo, LONG* result) override;
  HRESULT STDMETHODCALLTYPE DelCardNo(short* MachineNo, VARIANT WillDelCardNo,
                                      LONG* result) override;
  HRESULT STDMETHODCALLTYPE put_ConnectString(BSTR value) override;
  HRESULT STDMETHODCALLTYPE get_ConnectString(BSTR* result) override;
  HRESULT STDMETHODCALLTYPE put_GetLanRes(VARIANT value) override;
};

}  // namespace solvard::windows
