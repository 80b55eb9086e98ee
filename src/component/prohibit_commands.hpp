#pragma once

#include <cstdint>
#include <string>

#include "automation/date.hpp"
#include "prohibit/register_download.hpp"

// The access-control commands as the `Prohibit` class runs them: on the library's line
// (library_line.hpp), which every object of both classes shares. Each does what its namesake
// on a line does (prohibit/).
namespace solvard::prohibit {

bool SetResetDelay(int16_t MachineNo, int16_t& iTime);
bool SetLockMode(int16_t MachineNo, int16_t& iMod);
bool SetLockOpenState(int16_t MachineNo);
bool ClearOpenRecord(int16_t MachineNo);
bool ClearOpenList(int16_t MachineNo);
bool OpenLock(int16_t MachineNo);
int32_t GetLockState(int16_t MachineNo);
bool SetMacDateAndWeek(const int16_t& iMachineNo, const automation::DateTime& iDate,
                       const int16_t& iFirstWeek);
bool SetMacTime(const int16_t& iMachineNo, const std::string& iPara);
std::string GetID(int16_t MachineNo);
bool SetOpenList(int16_t MachineNo, std::string& iCardNo, const std::string& iFirstYear,
                 const std::string& iLastYear, const std::string& iFirstTime,
                 const std::string& iLastTime, int16_t iStartWeek, int16_t iEndWeek);
bool DeleteLockList(int16_t MachineNo, std::string& iCardNo);

// The download into the host's table, with the library's kept records; its result text. The
// reasons go to the library's log and the records written to its progress sink.
std::string GetRegisterData(int16_t iMachineNo, const std::string& iConnectString,
                            const std::string& iTable);

// The report of the latest download of the library (the automation face has one line).
const RegisterDownloadReport& lastRegisterDownload();

}  // namespace solvard::prohibit
