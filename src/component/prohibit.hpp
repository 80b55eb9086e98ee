#pragma once

#include <cstdint>
#include <string>

#include "automation/variant.hpp"
#include "component/dispatch.hpp"
#include "component/port_properties.hpp"

namespace solvard::component {

// An access-control (door-lock) terminal driver object, `Solvard.Prohibit`. Its commands use
// the library-wide port settings, which its `CommPortID` and `CommBautRate` lets write.
// Boolean results reach automation hosts as the component's boolean (true -1, false 0).
class Prohibit : public DispatchObject {
 public:
  // Creating an object resets the library-wide port settings from its (fresh) properties.
  Prohibit();

  int16_t CommPortID() const;
  void setCommPortID(int16_t value);
  int16_t CommBautRate() const;
  void setCommBautRate(int16_t value);
  // Read-only: always 1024.
  int16_t CommInBufferSize() const;
  int16_t CommOutBufferSize() const;
  void setCommOutBufferSize(int16_t value);
  void setGetLanRes(const automation::Variant& value);

  std::string GetID(int16_t MachineNo);
  bool SetResetDelay(int16_t MachineNo, int16_t& iTime);
  bool SetLockMode(int16_t MachineNo, int16_t& iMod);
  bool SetMacDateAndWeek(int16_t& iMachineNo, automation::DateTime& iDate, int16_t& iFirstWeek);
  bool SetMacTime(int16_t& iMachineNo, std::string& iPara);
  std::string GetRegisterData(int16_t iMachineNo, std::string& iConnectString, std::string& iTable);
  bool SetOpenList(int16_t MachineNo, std::string& iCardNo, std::string& iFirstYear,
                   std::string& iLastYear, std::string& iFirstTime, std::string& iLastTime,
                   int16_t& iStartWeek, int16_t& iEndWeek);
  bool DeleteLockList(int16_t MachineNo, std::string& iCardNo);
  bool SetLockOpenState(int16_t MachineNo);
  bool ClearOpenList(int16_t MachineNo);
  bool ClearOpenRecord(int16_t MachineNo);
  int32_t GetLockState(int16_t MachineNo);
  bool OpenLock(int16_t MachineNo);

  const InterfaceInfo& interfaceInfo() const override;
  // Generated from component/interface.toml: each slot calls the member above that it names.
  automation::Variant invokeSlot(int slot, std::vector<automation::Variant>& args) override;

 private:
  PortProperties port_;
};

}  // namespace solvard::component
