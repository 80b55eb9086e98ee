#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace solvard::tool {

// What every receiver of the events shares: a thread of its own that the service wakes when it
// wrote events, that pauses between polls and retries, and that ends when the delivery does.
// A receiver supplies `deliver`, which runs on that thread until `pause` says to end.
class EventDelivery {
 public:
  EventDelivery(std::string database, std::string target,
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
  virtual void deliver() = 0;
  // Waits `limit` or until woken or ended; false when ended.
  bool pause(std::chrono::milliseconds limit);
  void tell(const std::string& line) const;

  const std::string database_;
  const std::string target_;

 private:
  const std::function<void(const std::string&)> log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool ending_ = false;
  std::thread thread_;
};

}  // namespace solvard::tool
