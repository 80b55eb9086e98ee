#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

namespace solvard::tool {

// What every receiver of the events shares: a thread of its own that the service wakes when it
// wrote events, and on it the one delivery loop. The loop reads the events after the receiver's
// place in solvard_deliveries, hands each to `send` in id order, and notes the place after each
// one taken. An event not taken is sent again, waiting 1 s, 2 s, 4 s ... up to 5 min between
// tries, and only then does the next go. A receiver supplies `send`, and `connect` when it has
// a session of its own to open first.
class EventDelivery {
 public:
  // `kind` names the receiver in the log lines ("webhook", "MQTT").
  EventDelivery(std::string kind, std::string database, std::string target,
                std::function<void(const std::string&)> log);
  virtual ~EventDelivery();
  EventDelivery(const EventDelivery&) = delete;
  EventDelivery& operator=(const EventDelivery&) = delete;

  // New events were written: look now rather than at the next poll.
  void wake();

 protected:
  // Starts the thread; called by the receiver's constructor once it is whole.
  void start();
  // Ends the thread; what is being sent is finished or given up by its own timeouts first.
  // Called by the receiver's destructor, before its own members go.
  void finish();
  // Before the loop, on the thread: false when the delivery ended meanwhile.
  virtual bool connect() { return true; }
  // Hands one event over: nothing when the receiver took it, else why not ("status 500").
  virtual std::optional<std::string> send(const nlohmann::ordered_json& event) = 0;
  // Waits `limit` or until woken or ended; false when ended.
  bool pause(std::chrono::milliseconds limit);
  void tell(const std::string& line) const;

  const std::string database_;
  const std::string target_;

 private:
  void deliver();

  const std::string kind_;
  const std::function<void(const std::string&)> log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace solvard::tool
