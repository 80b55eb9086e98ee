#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "db/connection.hpp"
#include "db/odbc_connection.hpp"

namespace solvard::db {

class ConnectionPool;

// A connection taken from a pool. It goes back when released or destroyed; an empty one (false)
// tells why it could not be had. The pool must outlive it.
class PooledConnection {
 public:
  PooledConnection() = default;
  PooledConnection(PooledConnection&& other) noexcept { *this = std::move(other); }
  PooledConnection& operator=(PooledConnection&& other) noexcept;
  ~PooledConnection() { release(); }

  explicit operator bool() const { return connection_ != nullptr; }
  Connection& operator*() const { return *connection_; }
  Connection* operator->() const { return connection_.get(); }
  // Why acquiring failed; empty for a connection that was had.
  const Diagnostic& diagnostic() const { return diagnostic_; }

  // Gives the connection back now; the object is empty afterwards.
  void release();

 private:
  friend class ConnectionPool;

  ConnectionPool* pool_ = nullptr;
  std::string text_;
  std::unique_ptr<Connection> connection_;
  Diagnostic diagnostic_;
};

// Open connections kept for reuse, keyed by their connection text, for callers that write one
// row at a time (the access-control record store) and would otherwise open a session per row.
class ConnectionPool {
 public:
  using Factory = std::function<std::unique_ptr<Connection>()>;

  explicit ConnectionPool(
      Factory factory = [] { return makeOdbcConnection(); }, size_t idlePerText = 4)
      : factory_(std::move(factory)), idlePerText_(idlePerText) {}

  // An open connection for `connectionText`, with automatic commit on and no transaction open:
  // a kept one when there is one (reopened once when the server has dropped it), else a new one.
  PooledConnection acquire(const std::string& connectionText);

  size_t idleCount(const std::string& connectionText) const;

 private:
  friend class PooledConnection;

  // Keeps a connection given back, unless it is closed or enough are kept already.
  void giveBack(const std::string& connectionText, std::unique_ptr<Connection> connection);

  Factory factory_;
  size_t idlePerText_;
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<std::unique_ptr<Connection>>> idle_;
};

}  // namespace solvard::db
