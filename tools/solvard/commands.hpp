#pragma once

#include <string>
#include <vector>

namespace solvard::tool {

// Exit statuses of the command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // an automation error, or a terminal that did not answer
inline constexpr int kExitUsage = 2;

int interfaceCommand(const std::vector<std::string>& args);
int sessionCommand(const std::vector<std::string>& args);
int invokeCommand(const std::vector<std::string>& args);
int simulateCommand(const std::vector<std::string>& args);
int attendCommand(const std::vector<std::string>& args);
int clockCommand(const std::vector<std::string>& args);
int doorCommand(const std::vector<std::string>& args);
int demoCommand(const std::vector<std::string>& args);

}  // namespace solvard::tool
