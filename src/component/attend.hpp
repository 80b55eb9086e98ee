#pragma once

#include <cstdint>
#include <string>

#include "automation/variant.hpp"
#include "component/dispatch.hpp"
#include "component/port_properties.hpp"

namespace solvard::component {

// An attendance (time-clock) terminal driver object, `Solvard.Attend`.
class Attend : public DispatchObject {
 public:
  // Creating an object resets the library-wide port settings (port 0, "9600,N,8,1", 1024, 512).
  Attend();

  int16_t CommPortID() const;
  void setCommPortID(int16_t value);
  int16_t CommBautRate() const;
  void setCommBautRate(int16_t value);
  int16_t CommInBufferSize() const;
  void setCommInBufferSize(int16_t value);
  int16_t CommOutBufferSize() const;
  void setCommOutBufferSize(int16_t value);
  std::string ConnectString() const;
  void setConnectString(const std::string& value);
  // Write-only: selects the language module for every object of both classes.
  void setGetLanRes(const automation::Variant& value);

  int32_t ClearListInMac(int16_t MachineNo, int16_t& FuncID);
  int32_t SetCardFlowNo(int16_t MachineNo, const std::string& FlowNo,
                        const std::string& OriginalNo);
  std::string GetOriginalCardNo(int16_t MachineNo);
  int32_t AdjustDate(int16_t MachineNo, const automation::DateTime& inDate);
  int32_t AdjustTime(int16_t MachineNo, const automation::Variant& inTime);
  int32_t ClearMacData(int16_t MachineNo);
  int32_t GetMacData(int16_t MachineNo);
  int32_t DelCardNo(int16_t& MachineNo, const automation::Variant& WillDelCardNo);

  const InterfaceInfo& interfaceInfo() const override;
  // Generated from component/interface.toml: each slot calls the member above that it names.
  automation::Variant invokeSlot(int slot, std::vector<automation::Variant>& args) override;

 private:
  PortProperties port_;
  std::string connectString_;
};

}  // namespace solvard::component
