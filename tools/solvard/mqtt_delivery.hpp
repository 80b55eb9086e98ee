#pragma once

#include <functional>
#include <string>

#include "event_delivery.hpp"

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
  ~MqttDelivery() override { finish(); }

  // A topic level of a line's name: "/", "+" and "#" would change the topic's shape.
  static std::string topicLevel(const std::string& name);

 private:
  void deliver() override;
};

}  // namespace solvard::tool
