#include "component/prohibit.hpp"

#include "component/interface_table.hpp"
#include "component/library_line.hpp"
#include "component/prohibit_commands.hpp"
#include "serial/settings.hpp"
#include "ui/lan_res.hpp"

namespace solvard::component {

using automation::Variant;

Prohibit::Prohibit() {
  serial::LibrarySettings& lib = librarySettings();
  lib.portNumber = CommPortID();
  lib.inBufferSize = CommInBufferSize();
  lib.settingsText = serial::settingsTextFor(CommBautRate());
  lib.outBufferSize = CommOutBufferSize();
}

int16_t Prohibit::CommPortID() const { return port_.portId(); }

void Prohibit::setCommPortID(int16_t value) {
  port_.letPortId(value);
  librarySettings().portNumber = value;
}

int16_t Prohibit::CommBautRate() const { return port_.baudRate(); }

void Prohibit::setCommBautRate(int16_t value) {
  port_.letBaudRate(value);
  librarySettings().settingsText = serial::settingsTextFor(port_.baudRate());
}

int16_t Prohibit::CommInBufferSize() const { return PortProperties::kDefaultInBufferSize; }
int16_t Prohibit::CommOutBufferSize() const { return port_.outBufferSize(); }
void Prohibit::setCommOutBufferSize(int16_t value) { port_.letOutBufferSize(value); }
void Prohibit::setGetLanRes(const Variant& value) { ui::setLanResHandle(value); }

std::string Prohibit::GetID(int16_t MachineNo) { return prohibit::GetID(MachineNo); }
bool Prohibit::SetResetDelay(int16_t MachineNo, int16_t& iTime) {
  return prohibit::SetResetDelay(MachineNo, iTime);
}
bool Prohibit::SetLockMode(int16_t MachineNo, int16_t& iMod) {
  return prohibit::SetLockMode(MachineNo, iMod);
}
bool Prohibit::SetMacDateAndWeek(int16_t& iMachineNo, automation::DateTime& iDate,
                                 int16_t& iFirstWeek) {
  return prohibit::SetMacDateAndWeek(iMachineNo, iDate, iFirstWeek);
}
bool Prohibit::SetMacTime(int16_t& iMachineNo, std::string& iPara) {
  return prohibit::SetMacTime(iMachineNo, iPara);
}
std::string Prohibit::GetRegisterData(int16_t iMachineNo, std::string& iConnectString,
                                      std::string& iTable) {
  return prohibit::GetRegisterData(iMachineNo, iConnectString, iTable);
}
bool Prohibit::SetOpenList(int16_t MachineNo, std::string& iCardNo, std::string& iFirstYear,
                           std::string& iLastYear, std::string& iFirstTime, std::string& iLastTime,
                           int16_t& iStartWeek, int16_t& iEndWeek) {
  return prohibit::SetOpenList(MachineNo, iCardNo, iFirstYear, iLastYear, iFirstTime, iLastTime,
                               iStartWeek, iEndWeek);
}
bool Prohibit::DeleteLockList(int16_t MachineNo, std::string& iCardNo) {
  return prohibit::DeleteLockList(MachineNo, iCardNo);
}
bool Prohibit::SetLockOpenState(int16_t MachineNo) { return prohibit::SetLockOpenState(MachineNo); }
bool Prohibit::ClearOpenList(int16_t MachineNo) { return prohibit::ClearOpenList(MachineNo); }
bool Prohibit::ClearOpenRecord(int16_t MachineNo) { return prohibit::ClearOpenRecord(MachineNo); }
int32_t Prohibit::GetLockState(int16_t MachineNo) { return prohibit::GetLockState(MachineNo); }
bool Prohibit::OpenLock(int16_t MachineNo) { return prohibit::OpenLock(MachineNo); }

const InterfaceInfo& Prohibit::interfaceInfo() const { return prohibitInterface(); }

}  // namespace solvard::component
