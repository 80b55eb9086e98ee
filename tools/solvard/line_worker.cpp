#include "line_worker.hpp"

namespace solvard::tool {

LineWorker::LineWorker(std::chrono::seconds every, Job pass)
    : every_(every), pass_(std::move(pass)), thread_([this] { run(); }) {}

LineWorker::~LineWorker() {
  stop();
  thread_.join();
}

bool LineWorker::post(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || jobs_.size() >= kLongestQueue) return false;
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
  return true;
}

std::size_t LineWorker::queueDepth() const {
  std::lock_guard lock(mutex_);
  return jobs_.size();
}

void LineWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // Dropped, not run: a job's caller holds its promise, which breaks and tells it.
    jobs_.clear();
  }
  wake_.notify_one();
}

void LineWorker::run() {
  auto nextPass = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (jobs_.empty() && std::chrono::steady_clock::now() < nextPass) {
      wake_.wait_until(lock, nextPass, [this] { return stopping_ || !jobs_.empty(); });
      continue;
    }
    Job job;
    if (!jobs_.empty()) {
      job = std::move(jobs_.front());
      jobs_.pop_front();
    } else {
      job = pass_;
      nextPass = std::chrono::steady_clock::now() + every_;
    }
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace solvard::tool
