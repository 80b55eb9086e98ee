#include "mqtt_delivery.hpp"

#include <mosquitto.h>

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <set>

#include "collect_events.hpp"
#include "db/odbc_connection.hpp"
#include "event_cursor.hpp"

namespace solvard::tool {
namespace {

constexpr auto kPoll = std::chrono::seconds(1);
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::minutes(5);
constexpr auto kAckWait = std::chrono::seconds(10);
constexpr int kEventsARead = 100;
constexpr int kKeepAliveSeconds = 30;

// "mqtt://host:1883": the broker's host and port (1883 when none is given).
bool brokerOf(const std::string& url, std::string& host, int& port) {
  constexpr std::string_view kScheme = "mqtt://";
  if (!url.starts_with(kScheme)) return false;
  const std::string rest = url.substr(kScheme.size());
  const std::size_t colon = rest.rfind(':');
  port = 1883;
  host = rest.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string digits = rest.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535)
      return false;
  }
  return !host.empty();
}

// The broker's acknowledgements, as libmosquitto's network thread hands them over.
struct Acks {
  std::mutex mutex;
  std::condition_variable came;
  std::set<int> mids;
};

void onPublish(mosquitto*, void* context, int mid) {
  auto* acks = static_cast<Acks*>(context);
  {
    std::lock_guard lock(acks->mutex);
    acks->mids.insert(mid);
  }
  acks->came.notify_all();
}

// libmosquitto's own process-wide set-up, made once.
void initialiseMosquitto() {
  static std::once_flag once;
  std::call_once(once, [] { mosquitto_lib_init(); });
}

}  // namespace

std::string MqttDelivery::topicLevel(const std::string& name) {
  std::string level = name;
  std::replace_if(
      level.begin(), level.end(), [](char c) { return c == '/' || c == '+' || c == '#'; }, '_');
  return level.empty() ? "_" : level;
}

MqttDelivery::MqttDelivery(std::string database, std::string url,
                           std::function<void(const std::string&)> log)
    : EventDelivery(std::move(database), std::move(url), std::move(log)) {
  start();
}

void MqttDelivery::deliver() {
  std::string host;
  int port = 0;
  if (!brokerOf(target_, host, port)) return;
  initialiseMosquitto();
  Acks acks;
  std::unique_ptr<mosquitto, void (*)(mosquitto*)> client(mosquitto_new(nullptr, true, &acks),
                                                          mosquitto_destroy);
  const auto say = [&](const std::string& line) { tell("serve: MQTT " + target_ + ": " + line); };
  if (!client) return say("no MQTT client can be made");
  mosquitto_publish_callback_set(client.get(), onPublish);
  mosquitto_reconnect_delay_set(client.get(), 1, 60, true);
  std::chrono::milliseconds retry = kFirstRetry;
  // Where the broker gets to is settled before it is reached: a broker new to the database that
  // is down at first still gets every event from the service's start on.
  for (auto setUp = db::makeOdbcConnection();
       setUp->Open(database_) != db::Outcome::kOk || !readCursor(*setUp, target_);) {
    say("the database cannot be read: " + setUp->lastDiagnostic().text());
    if (!pause(kLongestRetry / 10)) return;
    setUp = db::makeOdbcConnection();
  }
  // The connect runs on libmosquitto's network thread, which connects again by itself whenever
  // the broker goes: nothing here waits on a broker that does not answer beyond its own bounds.
  while (mosquitto_connect_async(client.get(), host.c_str(), port, kKeepAliveSeconds) !=
         MOSQ_ERR_SUCCESS) {
    say("the broker cannot be reached: again in " + std::to_string(retry.count() / 1000) + " s");
    if (!pause(retry)) return;
    retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
  }
  retry = kFirstRetry;
  mosquitto_loop_start(client.get());
  const auto publish = [&](const std::string& topic, const std::string& payload,
                           bool retain) -> std::optional<int> {
    int mid = 0;
    if (mosquitto_publish(client.get(), &mid, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain) != MOSQ_ERR_SUCCESS)
      return std::nullopt;
    return mid;
  };
  std::unique_ptr<db::Connection> connection;
  int64_t cursor = -1;
  while (true) {
    if (!connection || connection->State() != db::kStateOpen) {
      connection = db::makeOdbcConnection();
      cursor = -1;
      if (connection->Open(database_) != db::Outcome::kOk) {
        say("the database cannot be read: " + connection->lastDiagnostic().text());
        if (!pause(kLongestRetry / 10)) break;
        continue;
      }
    }
    if (cursor < 0) cursor = readCursor(*connection, target_).value_or(-1);
    const auto events = cursor >= 0 ? readEvents(*connection, cursor, kEventsARead) : std::nullopt;
    if (!events) {
      connection.reset();
      if (!pause(kLongestRetry / 10)) break;
      continue;
    }
    bool failed = false;
    for (const auto& event : *events) {
      const int64_t id = event["id"].get<int64_t>();
      const std::string kind = event["kind"].get<std::string>();
      const int machine = event["machine"].get<int>();
      const std::string where = "solvard/" + topicLevel(event["line"].get<std::string>()) + "/" +
                                (machine == 0 ? std::string("line") : std::to_string(machine));
      const std::string payload =
          event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
      std::vector<std::optional<int>> mids{publish(where + "/" + kind, payload, false)};
      if (kind != "record" && kind != "action")
        mids.push_back(publish(where + "/state", payload, true));
      std::unique_lock lock(acks.mutex);
      const bool acknowledged =
          std::all_of(mids.begin(), mids.end(), [](const auto& mid) { return mid.has_value(); }) &&
          acks.came.wait_for(lock, kAckWait, [&] {
            return std::all_of(mids.begin(), mids.end(),
                               [&](const auto& mid) { return acks.mids.contains(*mid); });
          });
      for (const auto& mid : mids)
        if (mid) acks.mids.erase(*mid);
      lock.unlock();
      if (!acknowledged || !saveCursor(*connection, target_, id)) {
        say("event " + std::to_string(id) + " not acknowledged: again in " +
            std::to_string(retry.count() / 1000) + " s");
        failed = true;
        break;
      }
      cursor = id;
      retry = kFirstRetry;
    }
    if (failed) {
      if (!pause(retry)) break;
      retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
      continue;
    }
    if (events->size() == static_cast<std::size_t>(kEventsARead)) continue;
    if (!pause(kPoll)) break;
  }
  mosquitto_disconnect(client.get());
  mosquitto_loop_stop(client.get(), true);
}

}  // namespace solvard::tool
