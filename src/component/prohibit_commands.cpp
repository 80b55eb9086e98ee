#include "component/prohibit_commands.hpp"

#include "component/host_call.hpp"
#include "component/library_line.hpp"
#include "component/prohibit_clock.hpp"
#include "component/prohibit_open_list.hpp"
#include "db/odbc_connection.hpp"
#include "prohibit/clock_commands.hpp"
#include "prohibit/identity.hpp"
#include "prohibit/open_list.hpp"
#include "prohibit/simple_commands.hpp"
#include "ui/host_reports.hpp"

namespace solvard::prohibit {
namespace {

RegisterDownloadReport& latest() {
  static RegisterDownloadReport report;
  return report;
}

}  // namespace

using component::libraryLine;

bool SetResetDelay(int16_t MachineNo, int16_t& iTime) {
  return component::hostCall([&] { return SetResetDelay(libraryLine(), MachineNo, iTime); });
}
bool SetLockMode(int16_t MachineNo, int16_t& iMod) {
  return component::hostCall([&] { return SetLockMode(libraryLine(), MachineNo, iMod); });
}
bool SetLockOpenState(int16_t MachineNo) {
  return component::hostCall([&] { return SetLockOpenState(libraryLine(), MachineNo); });
}
bool ClearOpenRecord(int16_t MachineNo) {
  return component::hostCall([&] { return ClearOpenRecord(libraryLine(), MachineNo); });
}
bool ClearOpenList(int16_t MachineNo) {
  return component::hostCall([&] { return ClearOpenList(libraryLine(), MachineNo); });
}
bool OpenLock(int16_t MachineNo) {
  return component::hostCall([&] { return OpenLock(libraryLine(), MachineNo); });
}
int32_t GetLockState(int16_t MachineNo) {
  return component::hostCall([&] { return GetLockState(libraryLine(), MachineNo); });
}

bool SetMacDateAndWeek(const int16_t& iMachineNo, const automation::DateTime& iDate,
                       const int16_t& iFirstWeek) {
  return component::hostCall(
      [&] { return SetMacDateAndWeek(libraryLine(), iMachineNo, iDate, iFirstWeek); });
}
bool SetMacTime(const int16_t& iMachineNo, const std::string& iPara) {
  return component::hostCall([&] { return SetMacTime(libraryLine(), iMachineNo, iPara); });
}

std::string GetID(int16_t MachineNo) {
  return component::hostCall([&] { return GetID(libraryLine(), MachineNo); });
}

bool SetOpenList(int16_t MachineNo, std::string& iCardNo, const std::string& iFirstYear,
                 const std::string& iLastYear, const std::string& iFirstTime,
                 const std::string& iLastTime, int16_t iStartWeek, int16_t iEndWeek) {
  return component::hostCall([&] {
    return SetOpenList(libraryLine(), MachineNo, iCardNo, iFirstYear, iLastYear, iFirstTime,
                       iLastTime, iStartWeek, iEndWeek);
  });
}
bool DeleteLockList(int16_t MachineNo, std::string& iCardNo) {
  return component::hostCall([&] { return DeleteLockList(libraryLine(), MachineNo, iCardNo); });
}

std::string GetRegisterData(int16_t iMachineNo, const std::string& iConnectString,
                            const std::string& iTable) {
  // The connection lives as long as the download: kept between its records, closed after.
  return component::hostCall([&] {
    db::ConnectionPool connections([] { return db::makeOdbcConnection(ui::logLine); });
    latest() = downloadRegisterData(libraryLine(), iMachineNo, iConnectString, iTable, connections,
                                    component::libraryKeptRecords());
    return latest().text;
  });
}

const RegisterDownloadReport& lastRegisterDownload() { return latest(); }

}  // namespace solvard::prohibit
