#pragma once

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

  // A pass of one line ended.
  void passEnded(const std::string& line, const PassOutcome& pass, const std::string& endedAt);

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
  };
  struct LineState {
    std::string lastPass, lastPassAt;
  };

  const CollectConfig& config_;
  mutable std::mutex mutex_;
  std::map<std::string, LineState> lines_;
  std::map<std::pair<std::string, int>, TerminalState> terminals_;
};

// {"code","message","detail"} of an error, as the command's JSON gives it.
nlohmann::ordered_json errorJson(const Error& error);

}  // namespace solvard::tool
