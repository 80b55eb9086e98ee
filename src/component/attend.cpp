#include "component/attend.hpp"

#include "component/interface_table.hpp"
#include "component/language.hpp"
#include "component/not_built.hpp"
#include "component/slot_args.hpp"
#include "serial/settings.hpp"

namespace solvard::component {

using automation::Variant;

Attend::Attend() {
  serial::LibrarySettings& lib = serial::librarySettings();
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
void Attend::setGetLanRes(const Variant& value) { selectLanguageModule(value); }

int32_t Attend::ClearListInMac(int16_t, int16_t&) { notBuiltYet(); }
int32_t Attend::SetCardFlowNo(int16_t, const std::string&, const std::string&) { notBuiltYet(); }
std::string Attend::GetOriginalCardNo(int16_t) { notBuiltYet(); }
int32_t Attend::AdjustDate(int16_t, const automation::DateTime&) { notBuiltYet(); }
int32_t Attend::AdjustTime(int16_t, const Variant&) { notBuiltYet(); }
int32_t Attend::ClearMacData(int16_t) { notBuiltYet(); }
int32_t Attend::GetMacData(int16_t) { notBuiltYet(); }
int32_t Attend::DelCardNo(int16_t&, const Variant&) { notBuiltYet(); }

const InterfaceInfo& Attend::interfaceInfo() const { return attendInterface(); }

Variant Attend::invokeSlot(int slot, std::vector<Variant>& args) {
  SlotArgs a(args);
  switch (slot) {
    case 7: setCommOutBufferSize(a.i16(0)); return {};
    case 8: return CommOutBufferSize();
    case 9: setCommInBufferSize(a.i16(0)); return {};
    case 10: return CommInBufferSize();
    case 11: setCommBautRate(a.i16(0)); return {};
    case 12: return CommBautRate();
    case 13: setCommPortID(a.i16(0)); return {};
    case 14: return CommPortID();
    case 15: {
      RefArg<int16_t> funcId(a.slot(1));
      return ClearListInMac(a.i16(0), funcId.value);
    }
    case 16: return SetCardFlowNo(a.i16(0), a.text(1), a.text(2));
    case 17: return GetOriginalCardNo(a.i16(0));
    case 18: return AdjustDate(a.i16(0), a.date(1));
    case 19: return AdjustTime(a.i16(0), a.variant(1));
    case 20: return ClearMacData(a.i16(0));
    case 21: return GetMacData(a.i16(0));
    case 22: {
      RefArg<int16_t> machineNo(a.slot(0));
      return DelCardNo(machineNo.value, a.variant(1));
    }
    case 23: setConnectString(a.text(0)); return {};
    case 24: return ConnectString();
    case 25: setGetLanRes(a.variant(0)); return {};
  }
  throw automation::errors::notSupported();
}

}  // namespace solvard::component
