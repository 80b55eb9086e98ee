#include "event_delivery.hpp"

namespace solvard::tool {

EventDelivery::EventDelivery(std::string database, std::string target,
                             std::function<void(const std::string&)> log)
    : database_(std::move(database)), target_(std::move(target)), log_(std::move(log)) {}

EventDelivery::~EventDelivery() { finish(); }

void EventDelivery::start() {
  thread_ = std::thread([this] { deliver(); });
}

void EventDelivery::finish() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void EventDelivery::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_one();
}

bool EventDelivery::pause(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, limit, [this] { return woken_ || ending_; });
  woken_ = false;
  return !ending_;
}

void EventDelivery::tell(const std::string& line) const {
  if (log_) log_(line);
}

}  // namespace solvard::tool
