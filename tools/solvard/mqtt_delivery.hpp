#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "event_delivery.hpp"

struct mosquitto;

namespace solvard::tool {

// Publishes the events of the collector's database to an MQTT broker at QoS 1, in id order:
// each event to "solvard/LINE/MACHINE/KIND" (a line's own events to "solvard/LINE/line/KIND"),
// and the last pass or failure of each terminal, retained, to "solvard/LINE/MACHINE/state", so
// that a client subscribing later learns each terminal's state at once. An event counts as
// delivered when the broker acknowledged it (PUBACK); until then it is published again, its id
// in the payload telling a subscriber that got it twice. Where the broker got to is kept in
// solvard_deliveries as a webhook's is, so a restart or a broker that was down for a day loses
// nothing.
class MqttDelivery final : public EventDelivery {
 public:
  MqttDelivery(std::string database, std::string url, std::function<void(const std::string&)> log);
  ~MqttDelivery() override;

  // A topic level of a line's name: "/", "+" and "#" would change the topic's shape.
  static std::string topicLevel(const std::string& name);

  // The broker's acknowledgements, as libmosquitto's network thread hands them over.
  struct Acks {
    std::mutex mutex;
    std::condition_variable came;
    std::set<int> mids;
  };

 private:
  bool connect() override;
  std::optional<std::string> send(const nlohmann::ordered_json& event) override;

  std::unique_ptr<Acks> acks_;
  mosquitto* client_ = nullptr;
};

}  // namespace solvard::tool
