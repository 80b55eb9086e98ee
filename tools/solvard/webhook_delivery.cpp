#include "webhook_delivery.hpp"

#include <httplib.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "collect_events.hpp"
#include "db/odbc_connection.hpp"
#include "event_cursor.hpp"

namespace solvard::tool {
namespace {

constexpr auto kPoll = std::chrono::seconds(1);
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::minutes(5);
constexpr int kEventsARead = 100;

}  // namespace

bool splitWebhookUrl(const std::string& url, WebhookTarget& target) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string::npos) return false;
  const std::size_t slash = url.find('/', scheme + 3);
  target.origin = url.substr(0, slash);
  target.path = slash == std::string::npos ? "/" : url.substr(slash);
  return target.origin.size() > scheme + 3;
}

WebhookDelivery::WebhookDelivery(std::string database, std::string url,
                                 std::function<void(const std::string&)> log)
    : EventDelivery(std::move(database), std::move(url), std::move(log)) {
  start();
}

void WebhookDelivery::deliver() {
  WebhookTarget target;
  if (!splitWebhookUrl(target_, target)) return;
  httplib::Client client(target.origin);
  client.set_connection_timeout(5, 0);
  client.set_read_timeout(10, 0);
  client.set_write_timeout(10, 0);
  std::unique_ptr<db::Connection> connection;
  int64_t cursor = -1;  // -1: not read yet on this connection
  std::chrono::milliseconds retry = kFirstRetry;
  const auto say = [&](const std::string& line) {
    tell("serve: webhook " + target_ + ": " + line);
  };
  for (;;) {
    if (!connection || connection->State() != db::kStateOpen) {
      connection = db::makeOdbcConnection();
      cursor = -1;
      if (connection->Open(database_) != db::Outcome::kOk) {
        say("the database cannot be read: " + connection->lastDiagnostic().text());
        if (!pause(kLongestRetry / 10)) return;
        continue;
      }
    }
    if (cursor < 0) cursor = readCursor(*connection, target_).value_or(-1);
    const auto events = cursor >= 0 ? readEvents(*connection, cursor, kEventsARead) : std::nullopt;
    if (!events) {
      say("the events cannot be read: " + connection->lastDiagnostic().text());
      connection.reset();
      if (!pause(kLongestRetry / 10)) return;
      continue;
    }
    bool failed = false;
    for (const auto& event : *events) {
      const int64_t id = event["id"].get<int64_t>();
      const auto answer =
          client.Post(target.path, {{"Idempotency-Key", "solvard-event-" + std::to_string(id)}},
                      event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
                      "application/json");
      if (!answer || answer->status < 200 || answer->status > 299) {
        say("event " + std::to_string(id) + " not taken (" +
            (answer ? "status " + std::to_string(answer->status)
                    : httplib::to_string(answer.error())) +
            "): again in " + std::to_string(retry.count() / 1000) + " s");
        failed = true;
        break;
      }
      if (!saveCursor(*connection, target_, id)) {
        // Sent but not noted: the next try sends it again, with the same key.
        connection.reset();
        failed = true;
        break;
      }
      cursor = id;
      retry = kFirstRetry;
    }
    if (failed) {
      if (!pause(retry)) return;
      retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
      continue;
    }
    if (events->size() == static_cast<std::size_t>(kEventsARead)) continue;
    if (!pause(kPoll)) return;
  }
}

}  // namespace solvard::tool
