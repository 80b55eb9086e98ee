#include "mqtt_delivery.hpp"

#include <mosquitto.h>

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <set>

namespace solvard::tool {
namespace {

constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::minutes(5);
constexpr auto kAckWait = std::chrono::seconds(10);
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

void onPublish(mosquitto*, void* context, int mid) {
  auto* acks = static_cast<MqttDelivery::Acks*>(context);
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
    : EventDelivery("MQTT", std::move(database), std::move(url), std::move(log)),
      acks_(std::make_unique<Acks>()) {
  start();
}

MqttDelivery::~MqttDelivery() {
  finish();
  if (client_ == nullptr) return;
  mosquitto_disconnect(client_);
  mosquitto_loop_stop(client_, true);
  mosquitto_destroy(client_);
}

bool MqttDelivery::connect() {
  std::string host;
  int port = 0;
  if (!brokerOf(target_, host, port)) return false;
  initialiseMosquitto();
  client_ = mosquitto_new(nullptr, true, acks_.get());
  if (client_ == nullptr) {
    tell("no MQTT client can be made");
    return false;
  }
  mosquitto_publish_callback_set(client_, onPublish);
  mosquitto_reconnect_delay_set(client_, 1, 60, true);
  // The connect runs on libmosquitto's network thread, which connects again by itself whenever
  // the broker goes: nothing here waits on a broker that does not answer beyond its own bounds.
  std::chrono::milliseconds retry = kFirstRetry;
  while (mosquitto_connect_async(client_, host.c_str(), port, kKeepAliveSeconds) !=
         MOSQ_ERR_SUCCESS) {
    tell("the broker cannot be reached: again in " + std::to_string(retry.count() / 1000) + " s");
    if (!pause(retry)) return false;
    retry = std::min<std::chrono::milliseconds>(retry * 2, kLongestRetry);
  }
  mosquitto_loop_start(client_);
  return true;
}

std::optional<std::string> MqttDelivery::send(const nlohmann::ordered_json& event) {
  const std::string kind = event["kind"].get<std::string>();
  const int machine = event["machine"].get<int>();
  const std::string where = "solvard/" + topicLevel(event["line"].get<std::string>()) + "/" +
                            (machine == 0 ? std::string("line") : std::to_string(machine));
  const std::string payload =
      event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  const auto publish = [&](const std::string& topic, bool retain) -> std::optional<int> {
    int mid = 0;
    if (mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain) != MOSQ_ERR_SUCCESS)
      return std::nullopt;
    return mid;
  };
  std::vector<std::optional<int>> mids{publish(where + "/" + kind, false)};
  if (kind != "record" && kind != "action") mids.push_back(publish(where + "/state", true));
  std::unique_lock lock(acks_->mutex);
  const bool acknowledged =
      std::all_of(mids.begin(), mids.end(), [](const auto& mid) { return mid.has_value(); }) &&
      acks_->came.wait_for(lock, kAckWait, [&] {
        return std::all_of(mids.begin(), mids.end(),
                           [&](const auto& mid) { return acks_->mids.contains(*mid); });
      });
  for (const auto& mid : mids)
    if (mid) acks_->mids.erase(*mid);
  if (acknowledged) return std::nullopt;
  return "not acknowledged by the broker";
}

}  // namespace solvard::tool
