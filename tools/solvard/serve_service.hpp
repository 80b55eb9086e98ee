#pragma once

#include <memory>
#include <string>
#include <vector>

#include "collect_config.hpp"
#include "collect_pass.hpp"
#include "serve_tokens.hpp"

namespace solvard::tool {

// `solvard serve`: one worker a line runs that line's passes and the actions asked through the
// API, one at a time; the HTTP API answers from its own threads and never touches a device.
class Service {
 public:
  // `hooks.log` takes whole log lines from every thread; `hooks.kept` keeps the doors' records
  // the database refused. A `config.serve.port` of 0 takes any free port (see port()).
  Service(CollectConfig config, std::vector<ServeToken> tokens, PassHooks hooks);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Takes the listening address; false with the problem when it cannot.
  bool bind(std::string& problem);
  int port() const;
  // Starts the lines' workers, then answers requests until stop().
  void run();
  // Ends the requests and the passes (each at its next record), from any thread.
  void stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace solvard::tool
