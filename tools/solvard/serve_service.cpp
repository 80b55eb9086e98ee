#include "serve_service.hpp"

#include <httplib.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>

#include "action_report.hpp"
#include "collect_events.hpp"
#include "collect_report.hpp"
#include "collect_schema.hpp"
#include "db/odbc_connection.hpp"
#include "door_actions.hpp"
#include "event_cursor.hpp"
#include "line_scan.hpp"
#include "line_worker.hpp"
#include "mqtt_delivery.hpp"
#include "printable_text.hpp"
#include "serve_openapi.hpp"
#include "serve_queries.hpp"
#include "serve_requests.hpp"
#include "serve_state.hpp"
#include "utc_text.hpp"
#include "webhook_delivery.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

// How long a request waits for its turn on the line and its exchange: past the longest pass a
// door's pass_time and a clock's download bound allow.
constexpr auto kLongestWait = std::chrono::minutes(40);

const std::string kApi = "/api/v1";

// Threads that answer requests. An event stream holds one for as long as its client stays, so
// the streams get at most kLongestStreams of them and the rest always answer the API.
constexpr std::size_t kRequestThreads = 128;
constexpr int kLongestStreams = 100;
// How often a waiting stream looks for events written by another process (a collector run by
// hand); the service's own wake its streams at once.
constexpr auto kEventPoll = std::chrono::milliseconds(500);
// A comment line to a quiet stream, so that a client and any proxy between see it alive.
constexpr auto kKeepAlive = std::chrono::seconds(15);
constexpr int kEventsARead = 500;

bool portFailure(const std::optional<Error>& error) {
  if (!error) return false;
  switch (error->code()) {
    case Errc::port_not_found:
    case Errc::port_in_use:
    case Errc::port_permission_denied:
    case Errc::port_not_a_terminal:
    case Errc::port_settings_refused:
    case Errc::port_failed: return true;
    default: return false;
  }
}

void answer(httplib::Response& response, int status, const json& body) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace) + "\n",
                       "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& why) {
  answer(response, status, {{"error", why}});
}

int statusOfExit(int exitStatus) {
  switch (exitStatus) {
    case 0: return 200;
    case 2: return 400;
    case 3: return 503;
    default: return 502;  // the terminal or its line failed: the service itself is fine
  }
}

}  // namespace

// HTTPS when the config gives a certificate and its key, plain HTTP on loopback otherwise.
std::unique_ptr<httplib::Server> makeServer(const ServeSettings& serve) {
  if (serve.certificate.empty()) return std::make_unique<httplib::Server>();
  return std::make_unique<httplib::SSLServer>(serve.certificate.c_str(), serve.key.c_str());
}

class Service::Impl {
 public:
  Impl(CollectConfig config, std::vector<ServeToken> tokens, PassHooks hooks)
      : config_(std::move(config)),
        tokens_(std::move(tokens)),
        hooks_(std::move(hooks)),
        state_(config_),
        server_(makeServer(config_.serve)) {
    hooks_.stopRequested = [this] { return stopping_.load(); };
    server_->new_task_queue = [] { return new httplib::ThreadPool(kRequestThreads); };
    server_->set_payload_max_length(kLongestBody);
    server_->set_read_timeout(10, 0);
    server_->set_write_timeout(10, 0);
    server_->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
          return admit(request, response);
        });
    addRoutes();
  }

  bool bind(std::string& problem) {
    const ServeSettings& serve = config_.serve;
    if (!server_->is_valid()) {
      problem = "TLS cannot start with certificate " + serve.certificate + " and key " + serve.key +
                ": give readable PEM files of one certificate and its private key";
      return false;
    }
    if (serve.port == 0) {
      port_ = server_->bind_to_any_port(serve.host);
    } else if (server_->bind_to_port(serve.host, serve.port)) {
      port_ = serve.port;
    }
    if (port_ > 0) return true;
    problem = "cannot listen on " + serve.host + ":" + std::to_string(serve.port) +
              " (is another service on that port?)";
    return false;
  }

  int port() const { return port_; }

  void run() {
    settleReceivers();
    {
      std::lock_guard lock(bellMutex_);
      for (const std::string& url : config_.serve.webhooks)
        deliveries_.push_back(std::make_unique<WebhookDelivery>(
            config_.database, url, [this](const std::string& line) { log(line); }));
      if (!config_.serve.mqtt.empty())
        broker_ = std::make_unique<MqttDelivery>(config_.database, config_.serve.mqtt,
                                                 [this](const std::string& line) { log(line); });
    }
    {
      std::lock_guard lock(workersMutex_);
      for (std::size_t i = 0; i < config_.lines.size(); ++i) {
        if (stopping_) break;
        workers_.push_back(std::make_unique<LineWorker>(config_.serve.every,
                                                        [this, i] { runPass(i, std::nullopt); }));
      }
    }
    if (!stopping_) server_->listen_after_bind();
    {
      std::lock_guard lock(workersMutex_);
      workers_.clear();  // each finishes the record in hand
    }
    std::lock_guard lock(bellMutex_);
    deliveries_.clear();
    broker_.reset();
  }

  // Where each receiver of the events gets to is settled before the first pass writes any, so
  // that a receiver new to the database gets every event from this start on, even one whose
  // delivery thread has not looked yet. A database that cannot be read now is left to the
  // deliveries, which settle it when they can.
  void settleReceivers() {
    std::vector<std::string> targets = config_.serve.webhooks;
    if (!config_.serve.mqtt.empty()) targets.push_back(config_.serve.mqtt);
    if (targets.empty()) return;
    std::string problem;
    if (std::unique_ptr<db::Connection> connection = openEvents(problem)) {
      for (const std::string& target : targets) (void)readCursor(*connection, target);
    }
  }

  // A connection to the database with the collector's tables (the events among them) made.
  std::unique_ptr<db::Connection> openEvents(std::string& problem) {
    auto connection = db::makeOdbcConnection();
    if (connection->Open(config_.database) != db::Outcome::kOk) {
      problem = connection->lastDiagnostic().text();
      return nullptr;
    }
    if (problem = prepareCollectTables(*connection); !problem.empty()) return nullptr;
    return connection;
  }

  void stop() {
    stopping_ = true;
    ring();
    {
      std::lock_guard lock(workersMutex_);
      for (auto& worker : workers_) worker->stop();
    }
    server_->stop();
  }

 private:
  // Every request but the health check carries a token of the service's, or is answered 401
  // before anything else happens.
  httplib::Server::HandlerResponse admit(const httplib::Request& request,
                                         httplib::Response& response) {
    if (request.path == kApi + "/health") return httplib::Server::HandlerResponse::Unhandled;
    if (tokenFor(tokens_, request.get_header_value("Authorization"))) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    response.set_header("WWW-Authenticate", "Bearer");
    refuse(response, 401, "a valid token is needed: Authorization: Bearer SECRET");
    return httplib::Server::HandlerResponse::Handled;
  }

  void addRoutes() {
    server_->Get(kApi + "/health", [](const httplib::Request&, httplib::Response& response) {
      answer(response, 200, {{"ok", true}});
    });
    server_->Get(kApi + "/openapi.json", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(openApiDocument(), "application/json");
    });
    server_->Get(kApi + "/lines", [this](const httplib::Request&, httplib::Response& response) {
      answer(response, 200,
             state_.linesJson([this](std::size_t line) { return queueDepth(line); }));
    });
    server_->Get(kApi + "/records",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   records(request, response);
                 });
    server_->Get(kApi + "/passes",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   passes(request, response);
                 });
    server_->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(
          state_.metricsText([this](std::size_t line) { return queueDepth(line); }, streams_),
          "text/plain; version=0.0.4; charset=utf-8");
    });
    server_->Get(kApi + "/events",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   events(request, response);
                 });
    server_->Post(kApi + R"(/lines/([^/]+)/scan)",
                  [this](const httplib::Request& request, httplib::Response& response) {
                    scan(request, response);
                  });
    server_->Post(kApi + R"(/lines/([^/]+)/terminals/([0-9]{1,3})/([a-z-]{1,16}))",
                  [this](const httplib::Request& request, httplib::Response& response) {
                    act(request, response);
                  });
  }

  std::size_t queueDepth(std::size_t line) {
    std::lock_guard lock(workersMutex_);
    return line < workers_.size() ? workers_[line]->queueDepth() : 0;
  }

  static std::optional<std::string> param(const httplib::Request& request, const char* name) {
    if (!request.has_param(name)) return std::nullopt;
    return request.get_param_value(name);
  }

  void records(const httplib::Request& request, httplib::Response& response) {
    std::string problem;
    const auto query = readRecordQuery(
        [&](const char* name) { return param(request, name); },
        [this](const std::string& name) { return lineIndex(name).has_value(); }, problem);
    if (!query) return refuse(response, 400, problem);
    const auto found = queryRecords(config_.database, *query, problem);
    if (!found) return refuse(response, 503, "the database cannot be read: " + problem);
    if (request.get_header_value("Accept").find("text/csv") != std::string::npos) {
      response.set_content(recordsCsv(*found), "text/csv");
      return;
    }
    answer(response, 200, *found);
  }

  void passes(const httplib::Request& request, httplib::Response& response) {
    int limit = 100;
    if (auto text = param(request, "limit")) {
      std::string problem;
      const auto query = readRecordQuery(
          [&](const char* name) { return std::string(name) == "limit" ? text : std::nullopt; },
          [](const std::string&) { return false; }, problem);
      if (!query) return refuse(response, 400, problem);
      limit = query->limit;
    }
    std::string problem;
    const auto found = queryPasses(config_.database, limit, problem);
    if (!found) return refuse(response, 503, "the database cannot be read: " + problem);
    answer(response, 200, *found);
  }

  std::optional<std::size_t> lineIndex(const std::string& name) const {
    for (std::size_t i = 0; i < config_.lines.size(); ++i)
      if (config_.lines[i].name == name) return i;
    return std::nullopt;
  }

  void act(const httplib::Request& request, httplib::Response& response) {
    const auto token = tokenFor(tokens_, request.get_header_value("Authorization"));
    if (!token || token->role != TokenRole::operate)
      return refuse(response, 403, "this token may read, not act: an operate token is needed");
    const auto line = lineIndex(request.matches[1].str());
    if (!line) return refuse(response, 404, "no line of this service has that name");
    const int machine = std::stoi(request.matches[2].str());
    const std::string action = request.matches[3].str();
    const CollectLine& lineConfig = config_.lines[*line];
    const auto terminal =
        std::find_if(lineConfig.terminals.begin(), lineConfig.terminals.end(),
                     [&](const CollectTerminal& t) { return t.machine == machine; });
    if (terminal == lineConfig.terminals.end())
      return refuse(response, 404,
                    "no terminal of that line has machine number " + std::to_string(machine));
    json body = json::object();
    if (!request.body.empty()) {
      body = json::parse(request.body, nullptr, false);
      if (body.is_discarded() || !body.is_object())
        return refuse(response, 400, "the body is not a JSON object of the action's values");
    }
    std::function<std::pair<int, json>()> job;
    if (action == "collect") {
      if (!body.empty()) return refuse(response, 400, "collect takes no values");
      job = [this, index = *line, machine] {
        const PassOutcome pass = runPass(index, machine);
        return std::pair{statusOfExit(passExitStatus(pass)), passJson(pass)};
      };
    } else if (const auto command = doorCommandOf(action);
               terminal->kind == TerminalKind::door && command) {
      DoorWords words;
      if (auto problem = readDoorValues(action, body, words))
        return refuse(response, 400, *problem);
      words.line.machine = machine;
      words.line.port = lineConfig.port;
      words.line.baud = lineConfig.baud;
      words.line.json = true;
      job = [words, command = *command] {
        try {
          if (command == "time") checkTimeWords(words);
          const ActionReport report = runDoorAction(command, words);
          return std::pair{statusOfExit(exitStatusOf(report)), reportJson(report)};
        } catch (const CLI::ValidationError& e) {
          return std::pair{400, json{{"error", e.what()}}};
        }
      };
    } else {
      return refuse(response, 404,
                    "\"" + action + "\" is not an action of this " +
                        (terminal->kind == TerminalKind::door ? "door" : "attendance") +
                        " terminal");
    }
    const auto [status, result] = onLine(*line, std::move(job));
    answer(response, status, result);
    // A collect's pass counted its terminal already.
    if (action != "collect" && status != 400) {
      const json* error = result.contains("error") ? &result["error"] : nullptr;
      state_.actionEnded(lineConfig.name, machine,
                         error && error->is_object() && error->contains("code")
                             ? (*error)["code"].get<std::string>()
                             : (status == 200 ? "" : "other"));
    }
    AuditEntry entry{token->name,   lineConfig.name, action,       body.dump(),
                     result.dump(), machine,         status == 200};
    if (std::string problem; !writeAudit(config_.database, entry, problem))
      log("serve: the audit of " + action + " cannot be written: " + problem);
    tell({"action", lineConfig.name, machine, "", "", "", "", "",
          json{{"action", action}, {"token", token->name}, {"status", status}, {"result", result}}
              .dump()});
  }

  // Which machine numbers answer on the line, queued like any action: {"machines":"1-254"}.
  void scan(const httplib::Request& request, httplib::Response& response) {
    const auto token = tokenFor(tokens_, request.get_header_value("Authorization"));
    if (!token || token->role != TokenRole::operate)
      return refuse(response, 403, "this token may read, not act: an operate token is needed");
    const auto line = lineIndex(request.matches[1].str());
    if (!line) return refuse(response, 404, "no line of this service has that name");
    std::string range = "1-254";
    if (!request.body.empty()) {
      const json body = json::parse(request.body, nullptr, false);
      if (body.is_discarded() || !body.is_object())
        return refuse(response, 400, "the body is not a JSON object of the scan's values");
      for (const auto& [key, value] : body.items()) {
        if (key != "machines")
          return refuse(response, 400, escapedControls(key) + ": not a value of scan");
        if (!value.is_string() || value.get<std::string>().size() > kLongestValue)
          return refuse(response, 400, "machines: a text such as \"1-254\"");
        range = value.get<std::string>();
      }
    }
    std::string problem;
    const std::vector<uint8_t> machines = machineRange(range, problem);
    if (!problem.empty()) return refuse(response, 400, "machines: " + problem);
    if (std::any_of(machines.begin(), machines.end(), [](uint8_t m) { return m == 0 || m == 255; }))
      return refuse(response, 400, "machines: machine numbers 1 to 254 answer a scan");
    const CollectLine& lineConfig = config_.lines[*line];
    const auto [status, result] = onLine(*line, [this, &lineConfig, machines] {
      LineOptions options;
      options.port = lineConfig.port;
      options.baud = lineConfig.baud;
      ActionLine actionLine(options);
      const ScanOutcome outcome =
          scanLine(actionLine.line(), machines, {}, [this] { return stopping_.load(); });
      ActionReport report{"scan", std::nullopt};
      report.result = {{"port", lineConfig.port},
                       {"baud", lineConfig.baud},
                       {"asked", outcome.asked},
                       {"terminals", scanJson(outcome.found)}};
      report.error = outcome.line;
      return std::pair{statusOfExit(exitStatusOf(report)), reportJson(report)};
    });
    answer(response, status, result);
    AuditEntry entry{token->name, lineConfig.name, "scan", request.body, result.dump(),
                     0,           status == 200};
    if (std::string problem; !writeAudit(config_.database, entry, problem))
      log("serve: the audit of scan cannot be written: " + problem);
  }

  // Runs `job` on the line's worker and waits for it, bounded.
  std::pair<int, json> onLine(std::size_t line, std::function<std::pair<int, json>()> job) {
    auto promise = std::make_shared<std::promise<std::pair<int, json>>>();
    auto future = promise->get_future();
    bool queued = false;
    {
      std::lock_guard lock(workersMutex_);
      queued = line < workers_.size() && workers_[line]->post([promise, job = std::move(job)] {
        try {
          promise->set_value(job());
        } catch (...) {
          promise->set_exception(std::current_exception());
        }
      });
    }
    if (!queued)
      return {503, {{"error", "the line's queue is full or the service is stopping: try again"}}};
    if (future.wait_for(kLongestWait) != std::future_status::ready)
      return {504, {{"error", "the line did not come to this request in time"}}};
    try {
      return future.get();
    } catch (const std::future_error&) {
      return {503, {{"error", "the service stopped before the line came to this request"}}};
    } catch (const std::exception& e) {
      return {500, {{"error", std::string("the action failed: ") + e.what()}}};
    }
  }

  // One pass of line `index`, of every terminal or of `machine` only.
  PassOutcome runPass(std::size_t index, std::optional<int> machine) {
    CollectConfig one;
    one.database = config_.database;
    one.lines.push_back(config_.lines[index]);
    if (machine) {
      auto& terminals = one.lines.front().terminals;
      std::erase_if(terminals, [&](const CollectTerminal& t) { return t.machine != *machine; });
    }
    const auto started = std::chrono::steady_clock::now();
    const PassOutcome pass = runCollectPass(one, hooks_);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const std::string& lineName = config_.lines[index].name;
    state_.passEnded(lineName, pass, utcText(std::time(nullptr), "%Y-%m-%d %H:%M:%SZ"),
                     took.count());
    tellPass(index, pass);
    return pass;
  }

  // Each terminal's account, each failure, and the line going down (every terminal asked failed
  // at the port) or coming back.
  void tellPass(std::size_t index, const PassOutcome& pass) {
    const std::string& line = config_.lines[index].name;
    const json report = passJson(pass);
    bool anyAsked = false, allAtPort = true;
    std::optional<Error> portError;
    for (std::size_t i = 0; i < pass.terminals.size(); ++i) {
      const TerminalOutcome& outcome = pass.terminals[i];
      if (!outcome.asked) continue;
      anyAsked = true;
      const json& terminal = report["result"]["terminals"][i];
      tell({"pass", line, outcome.machine, "", "", "", "", pass.passId, terminal.dump()});
      if (outcome.error) {
        tell({"terminal_failed", line, outcome.machine, "", "", "", "", pass.passId,
              json{{"error", errorJson(*outcome.error)}}.dump()});
      }
      if (portFailure(outcome.error)) {
        portError = outcome.error;
      } else {
        allAtPort = false;
      }
    }
    if (!anyAsked) return;
    const bool down = allAtPort && portError.has_value();
    std::lock_guard lock(lineDownMutex_);
    if (down == lineDown_[index]) return;
    lineDown_[index] = down;
    tell({down ? "line_down" : "line_up", line, 0, "", "", "", "", pass.passId,
          down ? json{{"error", errorJson(*portError)}}.dump() : json::object().dump()});
  }

  // Writes an event of the service's own and wakes the streams.
  void tell(const EventRow& row) {
    {
      std::lock_guard lock(eventsMutex_);
      if (!eventWriter_ || eventWriter_->State() != db::kStateOpen) {
        eventWriter_ = db::makeOdbcConnection();
        if (eventWriter_->Open(config_.database) != db::Outcome::kOk) {
          log("serve: the " + row.kind +
              " event cannot be written: " + eventWriter_->lastDiagnostic().text());
          return;
        }
      }
      if (!writeEvent(*eventWriter_, row)) {
        log("serve: the " + row.kind +
            " event cannot be written: " + eventWriter_->lastDiagnostic().text());
      }
    }
    ring();
  }

  void ring() {
    {
      std::lock_guard lock(bellMutex_);
      ++rung_;
      for (auto& delivery : deliveries_) delivery->wake();
      if (broker_) broker_->wake();
    }
    bell_.notify_all();
  }

  // Server-Sent Events: every event after the client's Last-Event-ID (or ?after=), oldest first,
  // then each new one as it is committed, until the client or the service goes.
  void events(const httplib::Request& request, httplib::Response& response) {
    std::string last = request.get_header_value("Last-Event-ID");
    if (last.empty()) last = param(request, "after").value_or("0");
    int64_t after = 0;
    const auto [end, error] = std::from_chars(last.data(), last.data() + last.size(), after);
    if (error != std::errc() || end != last.data() + last.size() || after < 0)
      return refuse(response, 400, "Last-Event-ID: the id of the last event seen, 0 or more");
    if (++streams_ > kLongestStreams) {
      --streams_;
      return refuse(response, 503, "too many event streams are open: try again later");
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, after](std::size_t, httplib::DataSink& sink) mutable {
          stream(after, sink);
          sink.done();
          return true;
        },
        [this](bool) { --streams_; });
  }

  void stream(int64_t after, httplib::DataSink& sink) {
    auto reader = db::makeOdbcConnection();
    if (reader->Open(config_.database) != db::Outcome::kOk) return;
    auto quietSince = std::chrono::steady_clock::now();
    while (!stopping_ && sink.is_writable()) {
      uint64_t seen = 0;
      {
        std::lock_guard lock(bellMutex_);
        seen = rung_;
      }
      const auto events = readEvents(*reader, after, kEventsARead);
      if (!events) return;  // the database went: the client reconnects with its last id
      for (const json& event : *events) {
        after = event["id"].get<int64_t>();
        const std::string text =
            "id: " + std::to_string(after) + "\nevent: " + event["kind"].get<std::string>() +
            "\ndata: " + event.dump(-1, ' ', false, json::error_handler_t::replace) + "\n\n";
        if (!sink.write(text.data(), text.size())) return;
        quietSince = std::chrono::steady_clock::now();
      }
      if (events->size() == static_cast<std::size_t>(kEventsARead)) continue;
      if (std::chrono::steady_clock::now() - quietSince >= kKeepAlive) {
        static constexpr char kComment[] = ": still here\n\n";
        if (!sink.write(kComment, sizeof kComment - 1)) return;
        quietSince = std::chrono::steady_clock::now();
      }
      std::unique_lock lock(bellMutex_);
      bell_.wait_for(lock, kEventPoll, [&] { return rung_ != seen || stopping_; });
    }
  }

  void log(const std::string& line) {
    if (hooks_.log) hooks_.log(line);
  }

  const CollectConfig config_;
  const std::vector<ServeToken> tokens_;
  PassHooks hooks_;
  ServeState state_;
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex workersMutex_;
  std::vector<std::unique_ptr<LineWorker>> workers_;
  std::mutex eventsMutex_;
  std::unique_ptr<db::Connection> eventWriter_;
  std::mutex lineDownMutex_;
  std::map<std::size_t, bool> lineDown_;
  std::mutex bellMutex_;
  std::condition_variable bell_;
  uint64_t rung_ = 0;
  std::atomic<int> streams_{0};
  // Under bellMutex_: the webhook receivers', woken as the streams are.
  std::vector<std::unique_ptr<WebhookDelivery>> deliveries_;
  std::unique_ptr<MqttDelivery> broker_;
};

Service::Service(CollectConfig config, std::vector<ServeToken> tokens, PassHooks hooks)
    : impl_(std::make_unique<Impl>(std::move(config), std::move(tokens), std::move(hooks))) {}
Service::~Service() = default;
bool Service::bind(std::string& problem) { return impl_->bind(problem); }
int Service::port() const { return impl_->port(); }
void Service::run() { impl_->run(); }
void Service::stop() { impl_->stop(); }

}  // namespace solvard::tool
