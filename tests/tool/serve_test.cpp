// The service end to end: a real HTTP client against `Service` on a free loopback port, a
// simulated line on a pseudo-terminal, and a real SQLite file.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "collect_config.hpp"
#include "db/database_fixture.hpp"
#include "openapi_check.hpp"
#include "query_text.hpp"
#include "serve_service.hpp"
#include "serve_tokens.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

const std::string kReader = "reader-secret-0123456789";
const std::string kOperator = "operator-secret-0123456789";

struct TokenCase {
  const char* text;
  const char* problem;  // empty: taken
};

TEST(ServeTokensTest, TakesNameRoleSecretLinesAndRefusesTheRest) {
  const TokenCase cases[] = {
      {"# who may in\n\nops operate 0123456789abcdef\nwall read fedcba9876543210\n", ""},
      {"ops operate 0123456789abcdef extra\n", "t:1: a token is NAME ROLE SECRET"},
      {"ops admin 0123456789abcdef\n", "t:1: the role \"admin\" is not read or operate"},
      {"ops read short\n", "t:1: a secret takes 16 to 256 letters, digits, '-', '_' and '.'"},
      {"o$s read 0123456789abcdef\n", "t:1: a name takes letters, digits, '-', '_' and '.'"},
      {"a read 0123456789abcdef\nb read 0123456789abcdef\n", "t:2: this secret is given twice"},
      {"a read 0123456789abcdef\na read 0123456789abcdeX\n", "t:2: the name a is given twice"},
  };
  for (const TokenCase& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      const auto tokens = parseTokens(c.text, "t");
      EXPECT_STREQ(c.problem, "");
      ASSERT_EQ(tokens.size(), 2u);
      EXPECT_EQ(tokens[0].name, "ops");
      EXPECT_EQ(tokens[0].role, TokenRole::operate);
      EXPECT_EQ(tokens[1].role, TokenRole::read);
      EXPECT_EQ(tokenFor(tokens, "Bearer fedcba9876543210")->name, "wall");
      for (const char* refused : {"fedcba9876543210", "Bearer fedcba987654321",
                                  "Bearer fedcba9876543210 ", "bearer fedcba9876543210", ""})
        EXPECT_FALSE(tokenFor(tokens, refused)) << refused;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.problem);
    }
  }
}

TEST(ServeTokensTest, AMissingFileIsMadeForItsOwnerAndAFileOthersMayReadIsRefused) {
  const fs::path folder = fs::temp_directory_path() / ("serve-tokens-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string path = (folder / "tokens").string();
  bool created = false;
  const auto tokens = loadOrCreateTokens(path, created);
  EXPECT_TRUE(created);
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].name, "admin");
  EXPECT_EQ(tokens[0].role, TokenRole::operate);
  EXPECT_EQ(tokens[0].secret.size(), 64u);
  struct stat status {};
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  // Read again, the same token; a second service makes no new one.
  EXPECT_EQ(loadOrCreateTokens(path, created)[0].secret, tokens[0].secret);
  EXPECT_FALSE(created);
  fs::permissions(path, fs::perms::group_read, fs::perm_options::add);
  try {
    loadOrCreateTokens(path, created);
    ADD_FAILURE() << "a group-readable token file was taken";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(
        std::string(e.what()),
        path + ": others may read or change it; make it the owner's only (chmod 600 " + path + ")");
  }
  fs::remove_all(folder);
}

struct ListenCase {
  const char* serve;
  const char* problem;  // empty: taken, as host:port every
};

TEST(ServeConfigTest, ReadsTheServeTableAndKeepsTheServiceOnThisMachine) {
  const std::string lines =
      "database = \"d.db\"\n[[line]]\nport = \"/dev/null\"\n"
      "[[line.terminal]]\nkind = \"door\"\nmachines = \"3\"\n";
  const ListenCase cases[] = {
      {"", "127.0.0.1:8480 30"},
      {"[serve]\nlisten = \"127.0.0.1:9000\"\nevery = \"5m\"\n", "127.0.0.1:9000 300"},
      {"[serve]\nlisten = \"localhost:80\"\n", "127.0.0.1:80 30"},
      {"[serve]\nlisten = \"[::1]:8480\"\n", "::1:8480 30"},
      {"[serve]\nlisten = \"0.0.0.0:8480\"\n",
       "c:8: serve.listen: \"0.0.0.0\" is not a loopback address: serving beyond this machine "
       "needs TLS (give certificate and key)"},
      {"[serve]\nlisten = \"0.0.0.0:8443\"\ncertificate = \"c.pem\"\nkey = \"k.pem\"\n",
       "0.0.0.0:8443 30"},
      {"[serve]\ncertificate = \"c.pem\"\n",
       "c:7: serve.key: missing: TLS takes both certificate and key"},
      {"[serve]\nlisten = \"127.0.0.1:70000\"\n",
       "c:8: serve.listen: \"70000\" is not a TCP port, 1 to 65535 (0: any free one)"},
      {"[serve]\nlisten = \"127.0.0.1:0\"\n", "127.0.0.1:0 30"},
      {"[serve]\nlisten = \"8480\"\n",
       "c:8: serve.listen: \"8480\" is not HOST:PORT (e.g. \"127.0.0.1:8480\")"},
      {"[serve]\nport = 8480\n",
       "c:8: serve.port: unknown key ([serve] takes listen, tokens, every, certificate, key, "
       "webhooks and mqtt)"},
      {"[serve]\nmqtt = \"mqtt://broker.site:1884\"\n", "127.0.0.1:8480 30"},
      {"[serve]\nmqtt = \"tcp://broker.site\"\n",
       "c:8: serve.mqtt: \"tcp://broker.site\" is not mqtt://HOST or mqtt://HOST:PORT"},
      {"[serve]\nwebhooks = [\"https://hooks.example/solvard\", \"http://10.0.0.5:9000/in\"]\n",
       "127.0.0.1:8480 30"},
      {"[serve]\nwebhooks = [\"ftp://hooks.example/\"]\n",
       "c:8: serve.webhooks[1]: \"ftp://hooks.example/\" is not an http:// or https:// URL"},
      {"[serve]\ntokens = \"\"\n", "c:8: serve.tokens: is empty: give the file"},
  };
  for (const ListenCase& c : cases) {
    SCOPED_TRACE(c.serve);
    try {
      const CollectConfig config = parseCollectConfig(lines + c.serve, "c");
      EXPECT_EQ(config.serve.host + ":" + std::to_string(config.serve.port) + " " +
                    std::to_string(config.serve.every.count()),
                c.problem);
    } catch (const ConfigError& e) {
      EXPECT_EQ(std::string(e.what()), c.problem);
    }
  }
}

class ServeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(database.create());
    auto& door = line.add(std::make_unique<simulator::AccessTerminal>(3));
    door.store(simulator::accessRecord("0000012345", 26, 12, 10, 8, 15));
    door.store(simulator::accessRecord("0000067890", 26, 12, 10, 8, 16));
    line.start();
    CollectTerminal terminal;
    terminal.kind = TerminalKind::door;
    terminal.machine = 3;
    config.database = database.text();
    config.lines.push_back({"gate", line.path(), 9600, {terminal}});
    config.serve.port = 0;
    config.serve.every = std::chrono::hours(1);
    service =
        std::make_unique<Service>(config,
                                  std::vector<ServeToken>{{"wall", TokenRole::read, kReader},
                                                          {"ops", TokenRole::operate, kOperator}},
                                  PassHooks{});
    std::string problem;
    ASSERT_TRUE(service->bind(problem)) << problem;
    running = std::thread([this] { service->run(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
    client->set_read_timeout(60, 0);
  }
  void TearDown() override {
    if (service) service->stop();
    if (running.joinable()) running.join();
  }

  httplib::Result get(const std::string& path, const std::string& secret,
                      httplib::Headers headers = {}) {
    if (!secret.empty()) headers.emplace("Authorization", "Bearer " + secret);
    return client->Get(path, headers);
  }
  httplib::Result post(const std::string& path, const std::string& secret,
                       const std::string& body = "") {
    return client->Post(path, {{"Authorization", "Bearer " + secret}}, body, "application/json");
  }

  // The first pass runs as the service starts; its ledger row says it ended.
  void awaitFirstPass() {
    for (int i = 0; i < 600; ++i) {
      const auto lines = get("/api/v1/lines", kReader);
      if (lines && json::parse(lines->body)["lines"][0]["last_pass_at"].is_string()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FAIL() << "no pass ended";
  }

  int doorState(int simulator::AccessTerminal::State::*field) {
    return line.withState(
        [&] { return dynamic_cast<simulator::AccessTerminal&>(*line.terminal(3)).state().*field; });
  }

  db::testing::Database database{db::testing::Engine::kSqlite};
  simulator::Simulator line;
  CollectConfig config;
  std::unique_ptr<Service> service;
  std::thread running;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(ServeTest, EveryRequestButTheHealthCheckNeedsAValidToken) {
  const auto health = get("/api/v1/health", "");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_EQ(json::parse(health->body), json({{"ok", true}}));
  for (const std::string path : {"/api/v1/lines", "/api/v1/records", "/api/v1/nothing-here"}) {
    for (const std::string secret : {"", "not-a-token-of-this-service"}) {
      const auto refused = get(path, secret);
      ASSERT_TRUE(refused);
      EXPECT_EQ(refused->status, 401) << path << " " << secret;
      EXPECT_EQ(refused->get_header_value("WWW-Authenticate"), "Bearer");
    }
  }
  const auto opened = post("/api/v1/lines/gate/terminals/3/open", "wrong-secret-0123456789");
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->status, 401);
  // A read token may look, not act: the line never carries the command.
  const auto forbidden = post("/api/v1/lines/gate/terminals/3/open", kReader);
  ASSERT_TRUE(forbidden);
  EXPECT_EQ(forbidden->status, 403);
  EXPECT_EQ(doorState(&simulator::AccessTerminal::State::lockOpened), 0);
}

TEST_F(ServeTest, AnActionRunsOnTheLineAnswersAsTheCommandPrintsAndIsAudited) {
  const auto opened = post("/api/v1/lines/gate/terminals/3/open", kOperator);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->status, 200) << opened->body;
  const json report = json::parse(opened->body);
  EXPECT_EQ(report["command"], "door open");
  EXPECT_EQ(report["machine"], 3);
  EXPECT_EQ(report["ok"], true);
  EXPECT_EQ(doorState(&simulator::AccessTerminal::State::lockOpened), 1);

  const auto delay = post("/api/v1/lines/gate/terminals/3/delay", kOperator, R"({"seconds":7})");
  ASSERT_TRUE(delay);
  EXPECT_EQ(delay->status, 200) << delay->body;
  EXPECT_EQ(doorState(&simulator::AccessTerminal::State::resetDelay), 7);

  EXPECT_EQ(testing::queryText(database.text(),
                               "select token, line, machine, action, request_values, ok"
                               " from solvard_audit order by at, action desc"),
            "ops gate 3 open {} 1 \nops gate 3 delay {\"seconds\":7} 1 \n");
}

struct RefusedAction {
  const char* path;
  const char* body;
  int status;
  const char* error;
};

TEST_F(ServeTest, AnActionWhoseValuesDoNotFitIsRefusedBeforeTheLine) {
  const RefusedAction cases[] = {
      {"/api/v1/lines/gate/terminals/3/delay", R"({"seconds":999})", 400, "seconds: 1 to 255"},
      {"/api/v1/lines/gate/terminals/3/delay", R"({"seconds":"7"})", 400,
       "seconds: a whole number, 1 to 255"},
      {"/api/v1/lines/gate/terminals/3/mode", R"({"mode":7})", 400,
       "mode: 255 or 0, the two the terminal knows"},
      {"/api/v1/lines/gate/terminals/3/open", R"({"force":true})", 400,
       "force: not a value of open"},
      {"/api/v1/lines/gate/terminals/3/open", "[1,2", 400,
       "the body is not a JSON object of the action's values"},
      {"/api/v1/lines/gate/terminals/3/deny", R"({"card":"12\u0001"})", 400,
       "card: contains a control character (\\u0001): give printable text"},
      {"/api/v1/lines/gate/terminals/3/fly", "", 404,
       "\"fly\" is not an action of this door terminal"},
      {"/api/v1/lines/gate/terminals/4/open", "", 404,
       "no terminal of that line has machine number 4"},
      {"/api/v1/lines/yard/terminals/3/open", "", 404, "no line of this service has that name"},
  };
  for (const RefusedAction& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.body);
    const auto refused = post(c.path, kOperator, c.body);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, c.status);
    EXPECT_EQ(json::parse(refused->body)["error"], c.error);
  }
  EXPECT_EQ(doorState(&simulator::AccessTerminal::State::resetDelay), -1);
  EXPECT_EQ(doorState(&simulator::AccessTerminal::State::lockOpened), 0);
}

TEST_F(ServeTest, TheScheduledPassStoresTheRecordsTheApiPagesThroughAsJsonAndCsv) {
  awaitFirstPass();
  const auto lines = json::parse(get("/api/v1/lines", kReader)->body);
  const json& door = lines["lines"][0]["terminals"][0];
  EXPECT_EQ(door["kind"], "door");
  EXPECT_EQ(door["records_last_pass"], 2);
  EXPECT_TRUE(door["last_error"].is_null());

  const auto first = get("/api/v1/records?line=gate&machine=3&limit=1", kReader);
  ASSERT_TRUE(first);
  ASSERT_EQ(first->status, 200) << first->body;
  const json page = json::parse(first->body);
  ASSERT_EQ(page["records"].size(), 1u);
  EXPECT_EQ(page["records"][0]["card"], "0000012345");
  EXPECT_EQ(page["records"][0]["date"], "2026-12-10");
  EXPECT_EQ(page["records"][0]["time"], "08:15");
  EXPECT_EQ(page["next_after"], 1);
  const json second = json::parse(get("/api/v1/records?line=gate&after=1", kReader)->body);
  ASSERT_EQ(second["records"].size(), 1u);
  EXPECT_EQ(second["records"][0]["card"], "0000067890");
  EXPECT_TRUE(second["next_after"].is_null());
  EXPECT_EQ(json::parse(get("/api/v1/records?card=99&from=2026-12-10", kReader)->body)["records"],
            json::array());

  const auto csv = get("/api/v1/records?card=0000067890", kReader, {{"Accept", "text/csv"}});
  ASSERT_TRUE(csv);
  EXPECT_EQ(csv->get_header_value("Content-Type"), "text/csv");
  EXPECT_EQ(csv->body.substr(0, csv->body.find("\r\n")),
            "kind,line,machine,card,date,time,collected_at,occurrence,pass_id");
  EXPECT_NE(csv->body.find("\r\ndoor,gate,3,0000067890,2026-12-10,08:16,"), std::string::npos);

  const json passes = json::parse(get("/api/v1/passes", kReader)->body);
  ASSERT_EQ(passes["passes"].size(), 1u);
  EXPECT_EQ(passes["passes"][0]["given"], 2);
  EXPECT_EQ(passes["passes"][0]["stored"], 2);
  EXPECT_EQ(passes["passes"][0]["error"], "");
}

TEST_F(ServeTest, ARecordsQueryThatDoesNotFitIsRefusedWithItsReason) {
  const std::pair<const char*, const char*> cases[] = {
      {"limit=0", "limit: 1 to 1000 records a page"},
      {"machine=abc", "machine: a machine number, 1 to 254"},
      {"card=12a", "card: the card's digits, at most 20"},
      {"from=10.12.2026", "from: a date, yyyy-MM-dd"},
      {"line=yard", "line: not a line of this service"},
      {"after=-1", "after: the next_after of the page before, 0 or more"},
  };
  for (const auto& [query, error] : cases) {
    const auto refused = get(std::string("/api/v1/records?") + query, kReader);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400) << query;
    EXPECT_EQ(json::parse(refused->body)["error"], error) << query;
  }
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

// Reads the event stream until `wanted` events came (or the service ends it): "id kind machine
// card" a line.
std::vector<std::string> streamEvents(httplib::Client& client, const httplib::Headers& headers,
                                      std::size_t wanted, std::vector<int64_t>* ids = nullptr) {
  std::vector<std::string> events;
  std::string buffer;
  client.Get("/api/v1/events", headers, [&](const char* data, std::size_t length) {
    buffer.append(data, length);
    for (std::size_t end; (end = buffer.find("\n\n")) != std::string::npos;) {
      const std::string block = buffer.substr(0, end);
      buffer.erase(0, end + 2);
      const std::size_t data = block.find("data: ");
      if (data == std::string::npos) continue;
      const json event = json::parse(block.substr(data + 6));
      if (ids) ids->push_back(event["id"].get<int64_t>());
      events.push_back(event["kind"].get<std::string>() + " " + event["machine"].dump() + " " +
                       (event.contains("record") ? event["record"]["card"].get<std::string>()
                                                 : std::string("-")));
    }
    return events.size() < wanted;
  });
  return events;
}

TEST_F(ServeTest, TheEventStreamGivesEveryStoredRecordOnceAndResumesAfterTheLastIdSeen) {
  awaitFirstPass();
  std::vector<int64_t> ids;
  const httplib::Headers reader{{"Authorization", "Bearer " + kReader}};
  EXPECT_EQ(streamEvents(*client, reader, 3, &ids),
            (std::vector<std::string>{"record 3 0000012345", "record 3 0000067890", "pass 3 -"}));
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_LT(ids[0], ids[1]);
  EXPECT_LT(ids[1], ids[2]);

  // A client that saw the first record comes back for the rest, and then gets the action it
  // asked for as it happens.
  httplib::Headers resumed = reader;
  resumed.emplace("Last-Event-ID", std::to_string(ids[0]));
  std::thread act([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // A client of its own: one client object carries one request at a time.
    httplib::Client other("127.0.0.1", service->port());
    other.Post("/api/v1/lines/gate/terminals/3/open", {{"Authorization", "Bearer " + kOperator}},
               "", "application/json");
  });
  EXPECT_EQ(streamEvents(*client, resumed, 3),
            (std::vector<std::string>{"record 3 0000067890", "pass 3 -", "action 3 -"}));
  act.join();

  const auto refused = get("/api/v1/events", kReader, {{"Last-Event-ID", "x1"}});
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

// The samples of a Prometheus text as the format's own parser (Debian's prometheus_client)
// reads them: "name{label=value,...} value" a line, sorted; the parser's complaint if it
// refuses the text.
std::string parsedSamples(const std::string& text) {
  const fs::path file = fs::temp_directory_path() / ("metrics-" + std::to_string(getpid()));
  std::ofstream(file) << text;
  const std::string command =
      "/usr/bin/python3 -c '\n"
      "import sys\n"
      "from prometheus_client.parser import text_string_to_metric_families as families\n"
      "lines = []\n"
      "for family in families(open(sys.argv[1]).read()):\n"
      "    for s in family.samples:\n"
      "        labels = \",\".join(k + \"=\" + v for k, v in sorted(s.labels.items()))\n"
      "        lines.append(s.name + \"{\" + labels + \"} \" + repr(s.value))\n"
      "print(\"\\n\".join(sorted(lines)))\n"
      "' " +
      file.string() + " 2>&1";
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, got);
    ::pclose(pipe);
  }
  fs::remove(file);
  return output;
}

TEST_F(ServeTest, MetricsCountEachExchangeAndRecordInTheFormatsOwnTerms) {
  awaitFirstPass();
  ASSERT_EQ(post("/api/v1/lines/gate/terminals/3/open", kOperator)->status, 200);
  const auto metrics = get("/metrics", kReader);
  ASSERT_TRUE(metrics);
  EXPECT_EQ(metrics->status, 200);
  const std::string samples = parsedSamples(metrics->body);
  for (const char* sample : {
           "solvard_exchanges_total{ending=ok,line=gate,machine=3} 2.0",
           "solvard_exchanges_total{ending=no_reply,line=gate,machine=3} 0.0",
           "solvard_exchanges_total{ending=short,line=gate,machine=3} 0.0",
           "solvard_records_stored_total{line=gate,machine=3} 2.0",
           "solvard_queue_depth{line=gate} 0.0",
           "solvard_event_streams{} 0.0",
       }) {
    EXPECT_NE(samples.find(std::string(sample) + "\n"), std::string::npos)
        << sample << " is not among\n"
        << samples;
  }
  EXPECT_NE(samples.find("solvard_pass_duration_seconds{line=gate} "), std::string::npos)
      << samples;
  EXPECT_NE(samples.find("solvard_last_success_timestamp_seconds{line=gate,machine=3} "),
            std::string::npos)
      << samples;
  EXPECT_EQ(get("/metrics", "")->status, 401);
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

struct Documented {
  const char* method;
  const char* request;
  const char* path;  // the document's template
  const char* body;
};

TEST_F(ServeTest, EveryAnswerFitsTheServedOpenApiDocument) {
  awaitFirstPass();
  const auto served = get("/api/v1/openapi.json", kReader);
  ASSERT_TRUE(served);
  const json document = json::parse(served->body);
  EXPECT_EQ(document["openapi"], "3.0.3");
  const std::string action = "/api/v1/lines/{line}/terminals/{machine}/{action}";
  const Documented answers[] = {
      {"get", "/api/v1/health", "/api/v1/health", ""},
      {"get", "/api/v1/lines", "/api/v1/lines", ""},
      {"get", "/api/v1/records?limit=1", "/api/v1/records", ""},
      {"get", "/api/v1/records?limit=0", "/api/v1/records", ""},
      {"get", "/api/v1/passes", "/api/v1/passes", ""},
      {"post", "/api/v1/lines/gate/terminals/3/open", action.c_str(), ""},
      {"post", "/api/v1/lines/gate/terminals/3/delay", action.c_str(), R"({"seconds":0})"},
      {"post", "/api/v1/lines/gate/terminals/3/collect", action.c_str(), ""},
      {"post", "/api/v1/lines/gate/terminals/9/open", action.c_str(), ""},
      {"post", "/api/v1/lines/gate/scan", "/api/v1/lines/{line}/scan", R"({"machines":"3"})"},
  };
  for (const Documented& a : answers) {
    SCOPED_TRACE(a.request);
    const auto answer = std::string(a.method) == "get" ? get(a.request, kReader)
                                                       : post(a.request, kOperator, a.body);
    ASSERT_TRUE(answer);
    EXPECT_EQ(testing::responseProblems(document, a.path, a.method, answer->status,
                                        json::parse(answer->body)),
              std::vector<std::string>{});
  }
  const auto refused = get("/api/v1/lines", "");
  EXPECT_EQ(testing::responseProblems(document, "/api/v1/lines", "get", refused->status,
                                      json::parse(refused->body)),
            std::vector<std::string>{});
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

TEST_F(ServeTest, AScanQueuesOnTheLineAndNamesWhatAnswers) {
  const auto found = post("/api/v1/lines/gate/scan", kOperator, R"({"machines":"3"})");
  ASSERT_TRUE(found);
  ASSERT_EQ(found->status, 200) << found->body;
  const json report = json::parse(found->body);
  EXPECT_EQ(report["command"], "scan");
  EXPECT_EQ(report["result"]["terminals"],
            json::parse(R"([{"machine":3,"kind":"door","error":null}])"));
  EXPECT_EQ(post("/api/v1/lines/gate/scan", kReader, "")->status, 403);
  const auto refused = post("/api/v1/lines/gate/scan", kOperator, R"({"machines":"0-2"})");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 400);
  EXPECT_EQ(json::parse(refused->body)["error"],
            "machines: machine numbers 1 to 254 answer a scan");
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

// A self-signed certificate for 127.0.0.1 and its key, made by Debian's openssl.
bool makeCertificate(const fs::path& folder) {
  const std::string command =
      "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1 -keyout " +
      (folder / "key.pem").string() + " -out " + (folder / "cert.pem").string() +
      " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST(ServeTlsTest, WithACertificateTheServiceSpeaksHttpsOnly) {
  const fs::path folder = fs::temp_directory_path() / ("serve-tls-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  ASSERT_TRUE(makeCertificate(folder));
  CollectConfig config;
  config.database = (folder / "site.db").string();
  config.serve.port = 0;
  config.serve.every = std::chrono::hours(1);
  config.serve.certificate = (folder / "cert.pem").string();
  config.serve.key = (folder / "key.pem").string();
  Service service(config, {{"ops", TokenRole::operate, kOperator}}, PassHooks{});
  std::string problem;
  ASSERT_TRUE(service.bind(problem)) << problem;
  std::thread running([&] { service.run(); });

  httplib::SSLClient secure("127.0.0.1", service.port());
  secure.set_ca_cert_path((folder / "cert.pem").string().c_str());
  secure.enable_server_certificate_verification(true);
  const auto health = secure.Get("/api/v1/health");
  ASSERT_TRUE(health) << httplib::to_string(health.error());
  EXPECT_EQ(health->status, 200);
  EXPECT_EQ(secure.Get("/api/v1/lines", {{"Authorization", "Bearer " + kOperator}})->status, 200);
  // Plain HTTP gets no answer, so no token ever crosses in the clear.
  httplib::Client plain("127.0.0.1", service.port());
  plain.set_read_timeout(5, 0);
  EXPECT_FALSE(plain.Get("/api/v1/health"));
  service.stop();
  running.join();

  config.serve.key = (folder / "missing.pem").string();
  Service broken(config, {{"ops", TokenRole::operate, kOperator}}, PassHooks{});
  EXPECT_FALSE(broken.bind(problem));
  EXPECT_EQ(problem, "TLS cannot start with certificate " + config.serve.certificate + " and key " +
                         config.serve.key +
                         ": give readable PEM files of one certificate and its private key");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

// A webhook receiver that refuses its first `failures` requests, then takes each event once by
// its idempotency key, as a receiver should.
class Receiver {
 public:
  explicit Receiver(int failures) : failures_(failures) {
    server_.Post("/hook", [this](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard lock(mutex_);
      const std::string key = request.get_header_value("Idempotency-Key");
      keys_.push_back(key);
      if (failures_ > 0) {
        --failures_;
        response.status = 500;
        return;
      }
      if (std::find(taken_.begin(), taken_.end(), key) == taken_.end()) {
        taken_.push_back(key);
        kinds_.push_back(json::parse(request.body)["kind"].get<std::string>());
      }
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~Receiver() {
    server_.stop();
    thread_.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/hook"; }
  template <typename Read>
  auto read(Read&& reader) {
    std::lock_guard lock(mutex_);
    return reader(keys_, taken_, kinds_);
  }
  bool awaitTaken(std::size_t count) {
    for (int i = 0; i < 1200; ++i) {
      if (read([](auto&, auto& taken, auto&) { return taken.size(); }) >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  int failures_;
  std::vector<std::string> keys_, taken_, kinds_;
};

TEST_F(ServeTest, AWebhookReceiverThatFailsAndRecoversGetsEveryEventInOrderOnceAcrossARestart) {
  // The service of the fixture made the tables; a receiver new to them starts after what they
  // hold, so it is restarted with the receiver configured before the first pass.
  awaitFirstPass();
  Receiver receiver(2);
  service->stop();
  running.join();
  config.serve.webhooks = {receiver.url()};
  const std::vector<ServeToken> tokens{{"ops", TokenRole::operate, kOperator}};
  service = std::make_unique<Service>(config, tokens, PassHooks{});
  std::string problem;
  ASSERT_TRUE(service->bind(problem)) << problem;
  running = std::thread([this] { service->run(); });
  client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
  ASSERT_EQ(post("/api/v1/lines/gate/terminals/3/open", kOperator)->status, 200);
  ASSERT_TRUE(receiver.awaitTaken(2));  // the restart's pass and the open

  // The refused event was sent again under the same key until it was taken.
  receiver.read([](auto& keys, auto& taken, auto& kinds) {
    EXPECT_EQ(kinds, (std::vector<std::string>{"pass", "action"}));
    EXPECT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0], keys[1]);
    EXPECT_EQ(keys[1], keys[2]);
    EXPECT_EQ(taken[0], keys[0]);
    EXPECT_LT(std::stoll(taken[0].substr(14)), std::stoll(taken[1].substr(14)));
    return 0;
  });

  // Another restart sends only what came after.
  service->stop();
  running.join();
  service = std::make_unique<Service>(config, tokens, PassHooks{});
  ASSERT_TRUE(service->bind(problem)) << problem;
  running = std::thread([this] { service->run(); });
  ASSERT_TRUE(receiver.awaitTaken(3));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  receiver.read([](auto& keys, auto& taken, auto& kinds) {
    EXPECT_EQ(kinds, (std::vector<std::string>{"pass", "action", "pass"}));
    EXPECT_EQ(keys.size(), 5u) << "an event taken before the restart was sent again";
    return taken.size();
  });
}

}  // namespace
}  // namespace solvard::tool

namespace solvard::tool {
namespace {

// Debian's mosquitto on a free loopback port, as a site's broker.
class Broker {
 public:
  Broker() {
    // A free port: the system's choice for a socket that is then let go.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
    ::close(probe);
  }
  ~Broker() { stop(); }
  void start() {
    pid_ = ::fork();
    if (pid_ == 0) {
      const std::string port = std::to_string(port_);
      ::execl("/usr/sbin/mosquitto", "mosquitto", "-p", port.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  int port() const { return port_; }

 private:
  int port_ = 0;
  pid_t pid_ = 0;
};

// A subscriber to solvard/# at QoS 1: "TOPIC KIND ID" a message, " retained" when it was.
class Subscriber {
 public:
  explicit Subscriber(int port) {
    mosquitto_lib_init();
    client_ = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(client_, [](mosquitto*, void* self,
                                               const mosquitto_message* message) {
      auto* subscriber = static_cast<Subscriber*>(self);
      const json event = json::parse(std::string(static_cast<const char*>(message->payload),
                                                 static_cast<std::size_t>(message->payloadlen)));
      std::lock_guard lock(subscriber->mutex_);
      subscriber->messages_.push_back(std::string(message->topic) + " " +
                                      event["kind"].get<std::string>() + " " + event["id"].dump() +
                                      (message->retain ? " retained" : ""));
    });
    for (int i = 0; i < 200 && mosquitto_connect(client_, "127.0.0.1", port, 30) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    mosquitto_subscribe(client_, nullptr, "solvard/#", 1);
    mosquitto_loop_start(client_);
  }
  ~Subscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, true);
    mosquitto_destroy(client_);
  }
  // The messages so far, once `done` says they are enough (or after 30 s).
  std::vector<std::string> awaitMessages(
      const std::function<bool(const std::vector<std::string>&)>& done) {
    for (int i = 0; i < 1200; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (done(messages_)) return messages_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  mosquitto* client_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

TEST_F(ServeTest, ABrokerDownAtFirstGetsEveryEventOnceItIsUpAndKeepsEachTerminalsState) {
  awaitFirstPass();
  Broker broker;
  service->stop();
  running.join();
  config.serve.mqtt = "mqtt://127.0.0.1:" + std::to_string(broker.port());
  config.serve.every = std::chrono::hours(1);
  service = std::make_unique<Service>(
      config, std::vector<ServeToken>{{"ops", TokenRole::operate, kOperator}}, PassHooks{});
  std::string problem;
  ASSERT_TRUE(service->bind(problem)) << problem;
  running = std::thread([this] { service->run(); });
  client = std::make_unique<httplib::Client>("127.0.0.1", service->port());
  // The restart's pass happens with no broker: its events wait in the database.
  for (int i = 0; i < 600; ++i) {
    const auto lines = json::parse(get("/api/v1/lines", kOperator)->body);
    if (lines["lines"][0]["last_pass"] != nullptr) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  broker.start();
  Subscriber subscriber(broker.port());
  // The terminal's state reaches a subscriber whether it came before the broker had it (live)
  // or after (retained).
  const auto state = std::regex("solvard/gate/3/state pass ([0-9]+)( retained)?");
  const auto action = std::regex("solvard/gate/3/action action ([0-9]+)");
  const auto find = [](const std::vector<std::string>& got, const std::regex& pattern) {
    return std::find_if(got.begin(), got.end(),
                        [&](const std::string& m) { return std::regex_match(m, pattern); });
  };
  std::vector<std::string> got = subscriber.awaitMessages(
      [&](const std::vector<std::string>& all) { return find(all, state) != all.end(); });
  ASSERT_NE(find(got, state), got.end()) << ::testing::PrintToString(got);
  ASSERT_EQ(post("/api/v1/lines/gate/terminals/3/open", kOperator)->status, 200);
  got = subscriber.awaitMessages(
      [&](const std::vector<std::string>& all) { return find(all, action) != all.end(); });
  ASSERT_NE(find(got, action), got.end()) << ::testing::PrintToString(got);
  // Each event once: no topic got the same id twice.
  std::vector<std::string> sorted = got;
  for (std::string& message : sorted) message = message.substr(0, message.rfind(" retained"));
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
      << ::testing::PrintToString(got);
  // A client that subscribes now learns the terminal's state from the broker's retained copy.
  Subscriber late(broker.port());
  const auto retained = std::regex("solvard/gate/3/state pass [0-9]+ retained");
  got = late.awaitMessages(
      [&](const std::vector<std::string>& all) { return find(all, retained) != all.end(); });
  EXPECT_NE(find(got, retained), got.end()) << ::testing::PrintToString(got);
}

}  // namespace
}  // namespace solvard::tool
