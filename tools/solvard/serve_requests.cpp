#include "serve_requests.hpp"

#include <algorithm>
#include <map>

#include "printable_text.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

// The API's action names and the door command's.
const std::map<std::string, std::string> kDoorCommands = {{"open", "open"},
                                                          {"hold-open", "unlock-state"},
                                                          {"delay", "delay"},
                                                          {"mode", "mode"},
                                                          {"clock", "time"},
                                                          {"allow", "allow"},
                                                          {"deny", "deny"},
                                                          {"clear-cards", "clear-list"},
                                                          {"clear-records", "clear-records"}};

}  // namespace

std::optional<std::string> doorCommandOf(const std::string& action) {
  const auto found = kDoorCommands.find(action);
  if (found == kDoorCommands.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> readDoorValues(const std::string& action, const json& body,
                                          DoorWords& w) {
  const auto text = [&](const char* key, std::string& into) -> std::optional<std::string> {
    const auto found = body.find(key);
    if (found == body.end()) return std::nullopt;
    if (!found->is_string()) return std::string(key) + ": a text";
    into = found->get<std::string>();
    if (into.size() > kLongestValue) return std::string(key) + ": too long";
    if (std::string problem = controlCharacterProblem(into); !problem.empty())
      return std::string(key) + ": " + problem;
    return std::nullopt;
  };
  const auto integer = [&](const char* key, int& into, int lowest,
                           int highest) -> std::optional<std::string> {
    const auto found = body.find(key);
    if (found == body.end() || !found->is_number_integer())
      return std::string(key) + ": a whole number, " + std::to_string(lowest) + " to " +
             std::to_string(highest);
    const auto value = found->get<int64_t>();
    if (value < lowest || value > highest)
      return std::string(key) + ": " + std::to_string(lowest) + " to " + std::to_string(highest);
    into = static_cast<int>(value);
    return std::nullopt;
  };
  const auto only =
      [&](std::initializer_list<std::string_view> keys) -> std::optional<std::string> {
    for (const auto& [key, value] : body.items()) {
      if (std::find(keys.begin(), keys.end(), key) == keys.end())
        return escapedControls(key) + ": not a value of " + action;
    }
    return std::nullopt;
  };
  if (action == "delay") {
    if (auto problem = only({"seconds"})) return problem;
    return integer("seconds", w.seconds, 1, 255);
  }
  if (action == "mode") {
    if (auto problem = only({"mode"})) return problem;
    if (auto problem = integer("mode", w.mode, 0, 255)) return problem;
    if (w.mode != 0 && w.mode != 255) return "mode: 255 or 0, the two the terminal knows";
    return std::nullopt;
  }
  if (action == "clock") {
    if (auto problem = only({"now", "date", "time", "weekday"})) return problem;
    if (const auto now = body.find("now"); now != body.end()) {
      if (!now->is_boolean()) return "now: true or false";
      w.now = now->get<bool>();
    }
    for (auto [key, into] : {std::pair<const char*, std::string*>{"date", &w.date},
                             {"time", &w.time},
                             {"weekday", &w.weekday}}) {
      if (auto problem = text(key, *into)) return problem;
    }
    // A clock action without values sets the terminal to this computer's time.
    if (w.date.empty() && w.time.empty() && w.weekday.empty()) w.now = true;
    return std::nullopt;
  }
  if (action == "allow" || action == "deny") {
    if (auto problem = action == "deny" ? only({"card"})
                                        : only({"card", "from", "to", "start", "end", "weekdays"}))
      return problem;
    for (auto [key, into] : {std::pair<const char*, std::string*>{"card", &w.card},
                             {"from", &w.from},
                             {"to", &w.to},
                             {"start", &w.start},
                             {"end", &w.end},
                             {"weekdays", &w.weekdays}}) {
      if (auto problem = text(key, *into)) return problem;
    }
    if (w.card.empty()) return "card: the card's digits are needed";
    if (action == "allow" && (w.from.empty() || w.to.empty()))
      return "from, to: the card's first and last day are needed";
    return std::nullopt;
  }
  return only({});
}

}  // namespace solvard::tool
