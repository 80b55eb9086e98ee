#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "collect_config.hpp"
#include "collect_pass.hpp"

namespace solvard::tool {

// What the service knows of its lines and terminals from the passes and actions it ran: asked
// from the API's threads while the lines' workers write it.
class ServeState {
 public:
  explicit ServeState(const CollectConfig& config) : config_(config) {}

  // A pass of one line ended after `seconds`.
  void passEnded(const std::string& line, const PassOutcome& pass, const std::string& endedAt,
                 double seconds = 0);
  // An action on terminal `machine` ended: `error` is its error's code name ("no_reply"), empty
  // when it was done.
  void actionEnded(const std::string& line, int machine, const std::string& error);

  // The counters and gauges in the Prometheus text format: per line and terminal, the
  // exchanges by ending (a pass's download or an action, each one), the records stored, the
  // last success, the last pass's duration, the queue and the last clear window.
  std::string metricsText(const std::function<std::size_t(std::size_t line)>& queueDepth,
                          int eventStreams) const;

  // {"lines":[{"name","port","baud","queue","last_pass","last_pass_at","terminals":[{"machine",
  // "kind","name","last_pass_at","last_error","records_last_pass","more"}]}]}; `queueDepth` gives
  // each line's waiting jobs.
  nlohmann::ordered_json linesJson(
      const std::function<std::size_t(std::size_t line)>& queueDepth) const;

 private:
  struct TerminalState {
    std::string lastPassAt;
    std::optional<Error> lastError;
    int records = 0;
    bool more = false;
    std::map<std::string, uint64_t> endings;  // "ok", "no_reply", "short", ...
    uint64_t stored = 0;
    int64_t lastSuccess = 0;  // seconds since 1970, 0 before the first
    std::optional<double> clearWindowMs;
  };
  struct LineState {
    std::string lastPass, lastPassAt;
    double passSeconds = 0;
  };

  // Counts one exchange's ending; under the lock.
  void countEnding(TerminalState& terminal, const std::string& errorCode);

  const CollectConfig& config_;
  mutable std::mutex mutex_;
  std::map<std::string, LineState> lines_;
  std::map<std::pair<std::string, int>, TerminalState> terminals_;
};

// {"code","message","detail"} of an error, as the command's JSON gives it.
nlohmann::ordered_json errorJson(const Error& error);

}  // namespace solvard::tool
