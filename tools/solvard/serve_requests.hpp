#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "door_actions.hpp"

namespace solvard::tool {

// A request body holds an action's few values: anything longer is not one.
inline constexpr std::size_t kLongestBody = 16 * 1024;
inline constexpr std::size_t kLongestValue = 64;

// The door command's action for an API action name ("hold-open" is "unlock-state"), or nothing
// for a name that is not a door action.
std::optional<std::string> doorCommandOf(const std::string& action);

// Reads the JSON object of door action `action`'s values into `words` as the door command's
// options would: nothing when they are taken, else why not ("seconds: 1 to 255"). A text is at
// most kLongestValue characters and has no control character; a key the action does not take is
// refused. What only the terminal's own rules can refuse (a card window that ends before it
// starts) is left to the action, which raises CLI::ValidationError.
std::optional<std::string> readDoorValues(const std::string& action,
                                          const nlohmann::ordered_json& body, DoorWords& words);

}  // namespace solvard::tool
