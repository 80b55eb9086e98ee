#include "component/attend.hpp"

#include "attend/mac_command.hpp"
#include "automation/variant.hpp"
#include "component/attend_commands.hpp"
#include "component/interface_table.hpp"
#include "component/library_line.hpp"
#include "serial/settings.hpp"
#include "ui/lan_res.hpp"

namespace solvard::component {

using automation::Variant;

namespace {

// The attendance commands prepare the port from the object's own properties.
serial::PortSetup objectPort(const Attend& object) {
  return attend::objectPortSetup(object.CommPortID(), object.CommBautRate(),
                                 object.CommInBufferSize(), object.CommOutBufferSize());
}

}  // namespace

Attend::Attend() {
  serial::LibrarySettings& lib = librarySettings();
  lib.portNumber = CommPortID();
  lib.inBufferSize = PortProperties::kDefaultInBufferSize;
  lib.settingsText = serial::settingsTextFor(PortProperties::kDefaultBaudRate);
  lib.outBufferSize = PortProperties::kDefaultOutBufferSize;
}

int16_t Attend::CommPortID() const { return port_.portId(); }
void Attend::setCommPortID(int16_t value) { port_.letPortId(value); }
int16_t Attend::CommBautRate() const { return port_.baudRate(); }
void Attend::setCommBautRate(int16_t value) { port_.letBaudRate(value); }
int16_t Attend::CommInBufferSize() const { return port_.inBufferSize(); }
void Attend::setCommInBufferSize(int16_t value) { port_.letInBufferSize(value); }
int16_t Attend::CommOutBufferSize() const { return port_.outBufferSize(); }
void Attend::setCommOutBufferSize(int16_t value) { port_.letOutBufferSize(value); }
std::string Attend::ConnectString() const { return connectString_; }
void Attend::setConnectString(const std::string& value) { connectString_ = value; }
void Attend::setGetLanRes(const Variant& value) { ui::setLanResHandle(value); }

// The commands hand copies of the host's values to the exchange, so padding a card number
// never changes a variable of the host.

// `FuncID` plays no part in clearing the card list; it is left as the host passed it.
int32_t Attend::ClearListInMac(int16_t MachineNo, int16_t&) {
  return attend::SendMacCommand(objectPort(*this), MachineNo, attend::MacFunction::ClearCardList);
}

int32_t Attend::SetCardFlowNo(int16_t MachineNo, const std::string& FlowNo,
                              const std::string& OriginalNo) {
  return attend::SendMacCommand(objectPort(*this), MachineNo, attend::MacFunction::SetFlowNo,
                                Variant(FlowNo), Variant(OriginalNo));
}

std::string Attend::GetOriginalCardNo(int16_t MachineNo) {
  return attend::ReadOriginalCardNo(MachineNo, CommPortID()).value_or(std::string());
}

int32_t Attend::AdjustDate(int16_t MachineNo, const automation::DateTime& inDate) {
  return attend::SendMacCommand(objectPort(*this), MachineNo, attend::MacFunction::SetDate,
                                Variant(automation::format(Variant(inDate), "yyyy-MM-dd")));
}

int32_t Attend::AdjustTime(int16_t MachineNo, const Variant& inTime) {
  return attend::SendMacCommand(objectPort(*this), MachineNo, attend::MacFunction::SetTime, inTime);
}

int32_t Attend::ClearMacData(int16_t MachineNo) {
  return attend::SendMacCommand(objectPort(*this), MachineNo, attend::MacFunction::ClearRecords);
}

// The object's `ConnectString` counts only when the shared connection has to be opened.
int32_t Attend::GetMacData(int16_t MachineNo) {
  return attend::DownloadMacData(objectPort(*this), MachineNo, ConnectString());
}

// `MachineNo` is in/out in the interface, but the terminal's number is only read.
int32_t Attend::DelCardNo(int16_t& MachineNo, const Variant& WillDelCardNo) {
  const int16_t machineNo = MachineNo;
  return attend::SendMacCommand(objectPort(*this), machineNo, attend::MacFunction::DeleteCard,
                                WillDelCardNo);
}

const InterfaceInfo& Attend::interfaceInfo() const { return attendInterface(); }

}  // namespace solvard::component
