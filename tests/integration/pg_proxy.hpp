#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace solvard::integration {

// A TCP relay on 127.0.0.1 between the library and a PostgreSQL server that reads the client's
// protocol messages and, once armed, drops the connection around the first statement that holds a
// given word (COMMIT, INSERT): after forwarding it (the server runs it, its reply never
// arrives) or before (the server sees its client gone and rolls back what is open). Connections
// after the drop are relayed untouched.
class PgProxy {
 public:
  enum class Drop { kNever, kAfterCommit, kBeforeCommit };

  explicit PgProxy(uint16_t serverPort);
  ~PgProxy();
  PgProxy(const PgProxy&) = delete;
  PgProxy& operator=(const PgProxy&) = delete;

  uint16_t port() const { return port_; }
  // `word` in capitals.
  void arm(Drop drop, std::string word = "COMMIT") {
    std::lock_guard lock(mutex_);
    word_ = std::move(word);
    drop_ = drop;
  }
  bool dropped() const { return dropped_; }
  // The server as if it stopped: every relayed connection closes at once and each new one is
  // closed as soon as it is accepted, until `serveAgain`.
  void stopServing() { down_ = true; }
  void serveAgain() { down_ = false; }

 private:
  void serve();
  void relay(int client);
  // The drop armed for this client message, now disarmed; kNever when it is not the one.
  Drop armedFor(const std::string& message);

  uint16_t serverPort_;
  uint16_t port_ = 0;
  int listener_ = -1;
  std::mutex mutex_;
  std::string word_ = "COMMIT";
  std::atomic<Drop> drop_{Drop::kNever};
  std::atomic<bool> dropped_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> down_{false};
  std::thread thread_;
};

}  // namespace solvard::integration
