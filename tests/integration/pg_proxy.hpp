#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace solvard::integration {

// A TCP relay on 127.0.0.1 between the library and a PostgreSQL server that reads the client's
// protocol messages and, once armed, drops the connection around the first COMMIT: after
// forwarding it (the server commits, its reply never arrives) or before (the server sees its
// client gone and rolls back). Connections after the drop are relayed untouched.
class PgProxy {
 public:
  enum class Drop { kNever, kAfterCommit, kBeforeCommit };

  explicit PgProxy(uint16_t serverPort);
  ~PgProxy();
  PgProxy(const PgProxy&) = delete;
  PgProxy& operator=(const PgProxy&) = delete;

  uint16_t port() const { return port_; }
  void arm(Drop drop) { drop_ = drop; }
  bool dropped() const { return dropped_; }

 private:
  void serve();
  void relay(int client);

  uint16_t serverPort_;
  uint16_t port_ = 0;
  int listener_ = -1;
  std::atomic<Drop> drop_{Drop::kNever};
  std::atomic<bool> dropped_{false};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace solvard::integration
