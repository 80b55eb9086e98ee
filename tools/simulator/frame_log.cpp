#include "frame_log.hpp"

#include <utility>

namespace solvard::simulator {

void FrameLog::add(LoggedFrame frame) {
  {
    std::lock_guard lock(mutex_);
    frames_.push_back(std::move(frame));
  }
  added_.notify_all();
}

std::vector<LoggedFrame> FrameLog::frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

bool FrameLog::waitFor(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return added_.wait_for(lock, limit, [&] { return frames_.size() >= count; });
}

void FrameLog::clear() {
  std::lock_guard lock(mutex_);
  frames_.clear();
}

std::vector<LoggedFrame> FrameLog::take() {
  std::lock_guard lock(mutex_);
  return std::exchange(frames_, {});
}

}  // namespace solvard::simulator
