#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace solvard::serial {

// The result of `work`, or nothing when it had not finished by `deadline`. For a system call
// that can wait far longer than a line may (a resolver asking a name server that does not
// answer): it runs on a thread of its own that is left to finish alone when the time is up, so
// `work` must own everything it uses.
template <typename Result, typename Work>
std::optional<Result> callWithin(Work work, std::chrono::steady_clock::time_point deadline) {
  // Shared by the caller and the working thread, whichever finishes with it last.
  struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<Result> result;
  };
  auto pending = std::make_shared<Pending>();
  std::thread([pending, work = std::move(work)]() mutable {
    Result result = work();
    std::lock_guard lock(pending->mutex);
    pending->result = std::move(result);
    pending->done.notify_all();
  }).detach();
  std::unique_lock lock(pending->mutex);
  if (!pending->done.wait_until(lock, deadline, [&] { return pending->result.has_value(); })) {
    return std::nullopt;
  }
  return std::move(pending->result);
}

}  // namespace solvard::serial
