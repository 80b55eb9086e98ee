#include "serve_state.hpp"

#include "action_report.hpp"

namespace solvard::tool {

nlohmann::ordered_json errorJson(const Error& error) {
  return {{"code", errorCodeName(error.code())},
          {"message", std::string(message(error.code()))},
          {"detail", error.detail()}};
}

void ServeState::passEnded(const std::string& line, const PassOutcome& pass,
                           const std::string& endedAt) {
  std::lock_guard lock(mutex_);
  lines_[line] = {pass.passId, endedAt};
  for (const TerminalOutcome& outcome : pass.terminals) {
    if (!outcome.asked && !pass.database) continue;
    TerminalState& state = terminals_[{line, outcome.machine}];
    state.lastPassAt = endedAt;
    state.lastError = pass.database ? pass.database : outcome.error;
    state.records = outcome.records;
    state.more = outcome.more;
  }
}

nlohmann::ordered_json ServeState::linesJson(
    const std::function<std::size_t(std::size_t line)>& queueDepth) const {
  using json = nlohmann::ordered_json;
  std::lock_guard lock(mutex_);
  json lines = json::array();
  for (std::size_t i = 0; i < config_.lines.size(); ++i) {
    const CollectLine& line = config_.lines[i];
    const auto known = lines_.find(line.name);
    json terminals = json::array();
    for (const CollectTerminal& terminal : line.terminals) {
      json entry = {{"machine", terminal.machine},
                    {"kind", kindName(terminal.kind)},
                    {"name", terminal.name},
                    {"last_pass_at", nullptr},
                    {"last_error", nullptr},
                    {"records_last_pass", nullptr},
                    {"more", false}};
      if (const auto state = terminals_.find({line.name, terminal.machine});
          state != terminals_.end()) {
        entry["last_pass_at"] = state->second.lastPassAt;
        if (state->second.lastError) entry["last_error"] = errorJson(*state->second.lastError);
        entry["records_last_pass"] = state->second.records;
        entry["more"] = state->second.more;
      }
      terminals.push_back(std::move(entry));
    }
    lines.push_back(
        {{"name", line.name},
         {"port", line.port},
         {"baud", line.baud},
         {"queue", queueDepth(i)},
         {"last_pass", known == lines_.end() ? json(nullptr) : json(known->second.lastPass)},
         {"last_pass_at", known == lines_.end() ? json(nullptr) : json(known->second.lastPassAt)},
         {"terminals", std::move(terminals)}});
  }
  return {{"lines", std::move(lines)}};
}

}  // namespace solvard::tool
