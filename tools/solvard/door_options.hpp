#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "component/prohibit.hpp"
#include "terminal_options.hpp"

// What the readable door commands (`solvard door ...`) share.
namespace solvard::tool {

using DoorOptions = TerminalOptions;

// The shared terminal options, as the door commands take them.
inline bool parseDoorOptions(const std::vector<std::string>& args,
                             const std::set<std::string>& valueOptions,
                             const std::set<std::string>& flagOptions, DoorOptions& options,
                             std::string& problem) {
  return parseTerminalOptions(args, valueOptions, flagOptions, options, problem);
}

// A `Prohibit` object whose port properties put the library-wide settings on the options' port
// and rate; null with the reason when the port option names neither a number nor a device.
std::unique_ptr<component::Prohibit> doorObjectFor(const DoorOptions& options,
                                                   std::string& problem);

using DoorMessages = OperatorMessages;

}  // namespace solvard::tool
