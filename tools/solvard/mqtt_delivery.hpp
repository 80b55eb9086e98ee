#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace solvard::tool {

// Publishes the events of the collector's database to an MQTT broker at QoS 1, in id order:
// each event to "solvard/LINE/MACHINE/KIND" (a line's own events to "solvard/LINE/line/KIND"),
// and the last pass or failure of each terminal, retained, to "solvard/LINE/MACHINE/state", so
// that a client subscribing later learns each terminal's state at once. An event counts as
// delivered when the broker acknowledged it (PUBACK); until then it is published again, its id
// in the payload telling a subscriber that got it twice. Where the broker got to is kept in
// solvard_deliveries as a webhook's is, so a restart or a broker that was down for a day loses
// nothing.
class MqttDelivery {
 public:
  MqttDelivery(std::string database, std::string url, std::function<void(const std::string&)> log);
  ~MqttDelivery();
  MqttDelivery(const MqttDelivery&) = delete;
  MqttDelivery& operator=(const MqttDelivery&) = delete;

  void wake();

  // A topic level of a line's name: "/", "+" and "#" would change the topic's shape.
  static std::string topicLevel(const std::string& name);

 private:
  void run();
  bool pause(std::chrono::milliseconds limit);

  const std::string database_;
  const std::string url_;
  const std::function<void(const std::string&)> log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace solvard::tool
