#include "serve_state.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "action_report.hpp"

namespace solvard::tool {

nlohmann::ordered_json errorJson(const Error& error) {
  return {{"code", errorCodeName(error.code())},
          {"message", std::string(message(error.code()))},
          {"detail", error.detail()}};
}

namespace {

// The ending label of an error's code: the exchange endings by their short names, the port's
// and the database's failures each as one.
std::string endingOf(const std::string& code) {
  if (code.empty()) return "ok";
  if (code == "reply_incomplete") return "short";
  if (code == "unexpected_reply") return "unexpected";
  if (code == "no_reply" || code == "wrong_machine" || code == "line_busy" || code == "stopped")
    return code;
  if (code.starts_with("port_")) return "port";
  if (code.starts_with("database_") || code == "outcome_unknown" || code == "sink_refused" ||
      code == "record_pending")
    return "database";
  return "other";
}

// A label value with backslash, quote and line end escaped, as the format asks.
std::string labelValue(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return escaped;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace

void ServeState::countEnding(TerminalState& terminal, const std::string& errorCode) {
  ++terminal.endings[endingOf(errorCode)];
  if (errorCode.empty()) terminal.lastSuccess = static_cast<int64_t>(std::time(nullptr));
}

void ServeState::passEnded(const std::string& line, const PassOutcome& pass,
                           const std::string& endedAt, double seconds) {
  std::lock_guard lock(mutex_);
  lines_[line] = {pass.passId, endedAt, seconds};
  for (const TerminalOutcome& outcome : pass.terminals) {
    if (!outcome.asked && !pass.database) continue;
    TerminalState& state = terminals_[{line, outcome.machine}];
    state.lastPassAt = endedAt;
    state.lastError = pass.database ? pass.database : outcome.error;
    state.records = outcome.records;
    state.more = outcome.more;
    state.stored += static_cast<uint64_t>(std::max(outcome.stored, 0));
    if (outcome.clearWindowMs) state.clearWindowMs = outcome.clearWindowMs;
    countEnding(state, state.lastError ? errorCodeName(state.lastError->code()) : "");
  }
}

void ServeState::actionEnded(const std::string& line, int machine, const std::string& error) {
  std::lock_guard lock(mutex_);
  countEnding(terminals_[{line, machine}], error);
}

std::string ServeState::metricsText(const std::function<std::size_t(std::size_t line)>& queueDepth,
                                    int eventStreams) const {
  std::lock_guard lock(mutex_);
  std::string exchanges, stored, success, window, passes, queues;
  for (std::size_t i = 0; i < config_.lines.size(); ++i) {
    const CollectLine& line = config_.lines[i];
    const std::string lineLabel = "line=\"" + labelValue(line.name) + "\"";
    queues += "solvard_queue_depth{" + lineLabel + "} " + std::to_string(queueDepth(i)) + "\n";
    if (const auto known = lines_.find(line.name); known != lines_.end())
      passes += "solvard_pass_duration_seconds{" + lineLabel + "} " +
                number(known->second.passSeconds) + "\n";
    for (const CollectTerminal& terminal : line.terminals) {
      const std::string labels =
          lineLabel + ",machine=\"" + std::to_string(terminal.machine) + "\"";
      const auto found = terminals_.find({line.name, terminal.machine});
      const TerminalState none;
      const TerminalState& state = found == terminals_.end() ? none : found->second;
      for (const char* ending : {"ok", "no_reply", "short", "wrong_machine", "unexpected"}) {
        const auto count = state.endings.find(ending);
        exchanges += "solvard_exchanges_total{" + labels + ",ending=\"" + ending + "\"} " +
                     std::to_string(count == state.endings.end() ? 0 : count->second) + "\n";
      }
      for (const auto& [ending, count] : state.endings) {
        if (ending == "ok" || ending == "no_reply" || ending == "short" ||
            ending == "wrong_machine" || ending == "unexpected")
          continue;
        exchanges += "solvard_exchanges_total{" + labels + ",ending=\"" + ending + "\"} " +
                     std::to_string(count) + "\n";
      }
      stored +=
          "solvard_records_stored_total{" + labels + "} " + std::to_string(state.stored) + "\n";
      if (state.lastSuccess > 0)
        success += "solvard_last_success_timestamp_seconds{" + labels + "} " +
                   std::to_string(state.lastSuccess) + "\n";
      if (state.clearWindowMs)
        window += "solvard_clear_window_milliseconds{" + labels + "} " +
                  number(*state.clearWindowMs) + "\n";
    }
  }
  std::string text;
  const auto family = [&](const char* name, const char* type, const char* help,
                          const std::string& samples) {
    text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n" +
            samples;
  };
  family("solvard_exchanges_total", "counter",
         "Terminal exchanges (a pass's download or an action) by how they ended.", exchanges);
  family("solvard_records_stored_total", "counter", "Records this service stored.", stored);
  family("solvard_last_success_timestamp_seconds", "gauge",
         "When the terminal last did what was asked, in seconds since 1970.", success);
  family("solvard_pass_duration_seconds", "gauge", "How long the line's last pass took.", passes);
  family("solvard_queue_depth", "gauge", "Jobs waiting for the line.", queues);
  family("solvard_clear_window_milliseconds", "gauge",
         "From a clock's count reply to its clear's acknowledgement, at its last clear.", window);
  family("solvard_event_streams", "gauge", "Clients on the event stream.",
         "solvard_event_streams " + std::to_string(eventStreams) + "\n");
  return text;
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
