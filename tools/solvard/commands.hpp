#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace solvard::tool {

// Exit statuses of the command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // the terminal or the line failed (or an automation error)
inline constexpr int kExitUsage = 2;     // the words of the command do not fit
inline constexpr int kExitDatabase = 3;  // the database failed

// Each adds its command to `app`: the subcommand's callback runs the command and leaves its
// exit status in `status`. A value the command refuses after reading its options throws
// CLI::ValidationError, which the caller reports as a usage error.
void addInterfaceCommand(CLI::App& app, int& status);
void addSessionCommand(CLI::App& app, int& status);
void addInvokeCommand(CLI::App& app, int& status);
void addSimulateCommand(CLI::App& app, int& status);
void addAttendCommand(CLI::App& app, int& status);
void addClockCommand(CLI::App& app, int& status);
void addDoorCommand(CLI::App& app, int& status);
void addDemoCommand(CLI::App& app, int& status);
void addPortsCommand(CLI::App& app, int& status);
void addCollectCommand(CLI::App& app, int& status);
void addServeCommand(CLI::App& app, int& status);
void addScanCommand(CLI::App& app, int& status);
void addVerifyCommand(CLI::App& app, int& status);

// The older word-list commands, until each moves to its own options.
int interfaceCommand(const std::vector<std::string>& args);
int sessionCommand(const std::vector<std::string>& args);
int invokeCommand(const std::vector<std::string>& args);

}  // namespace solvard::tool
