#include "db/pool.hpp"

#include <utility>

namespace solvard::db {

PooledConnection& PooledConnection::operator=(PooledConnection&& other) noexcept {
  if (this != &other) {
    release();
    pool_ = std::exchange(other.pool_, nullptr);
    text_ = std::move(other.text_);
    connection_ = std::move(other.connection_);
    diagnostic_ = std::move(other.diagnostic_);
  }
  return *this;
}

void PooledConnection::release() {
  if (connection_ && pool_ != nullptr) pool_->giveBack(text_, std::move(connection_));
  connection_.reset();
  pool_ = nullptr;
}

PooledConnection ConnectionPool::acquire(const std::string& connectionText) {
  std::unique_ptr<Connection> connection;
  {
    std::lock_guard lock(mutex_);
    auto kept = idle_.find(connectionText);
    if (kept != idle_.end() && !kept->second.empty()) {
      connection = std::move(kept->second.back());
      kept->second.pop_back();
    }
  }
  PooledConnection lease;
  if (connection) {
    // A kept connection went back without a transaction; this guards one reached since.
    if (connection->inTransaction()) connection->RollbackTrans();
    // A server that dropped the session leaves it closed here (isAlive closes a lost one).
    if (connection->State() == kStateOpen) connection->isAlive();
  } else {
    connection = factory_();
    connection->ConnectionString(connectionText);
  }
  if (connection->State() != kStateOpen && connection->Open() != Outcome::kOk) {
    lease.diagnostic_ = connection->lastDiagnostic();
    return lease;
  }
  lease.pool_ = this;
  lease.text_ = connectionText;
  lease.connection_ = std::move(connection);
  return lease;
}

void ConnectionPool::giveBack(const std::string& connectionText,
                              std::unique_ptr<Connection> connection) {
  if (connection->State() == kStateOpen && connection->inTransaction()) {
    connection->RollbackTrans();
  }
  if (connection->State() != kStateOpen || connection->inTransaction()) return;
  std::lock_guard lock(mutex_);
  auto& kept = idle_[connectionText];
  if (kept.size() < idlePerText_) kept.push_back(std::move(connection));
}

size_t ConnectionPool::idleCount(const std::string& connectionText) const {
  std::lock_guard lock(mutex_);
  auto kept = idle_.find(connectionText);
  return kept == idle_.end() ? 0 : kept->second.size();
}

}  // namespace solvard::db
