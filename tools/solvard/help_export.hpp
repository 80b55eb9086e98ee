#pragma once

#include <string>

namespace CLI {
class App;
}

// The shell completion and the manual page, written from the command's own option definitions
// so they never drift from what the command takes.
namespace solvard::tool {

// A bash completion script defining _solvard: subcommands and options for the words typed so
// far, device and file names for the options that take them.
std::string bashCompletion(const CLI::App& app);

// solvard(1) in roff: every command with its options, the environment and the exit statuses.
std::string manualPage(const CLI::App& app);

// Adds the hidden `solvard docs --bash-completion|--man` the build runs to write both.
void addDocsCommand(CLI::App& app, int& status);

}  // namespace solvard::tool
