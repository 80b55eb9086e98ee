#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "db/connection.hpp"
#include "db/odbc_connection.hpp"
#include "support/driver_path.hpp"

namespace solvard::db::testing {

// The engines the real-database tests run against: an SQLite file through the driver SQLite3,
// and PostgreSQL when SOLVARD_PG_CONNECT names a server (scripts/pg-test-server.sh).
enum class Engine { kSqlite, kPostgresql };

inline std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kSqlite ? "Sqlite" : "Postgresql";
}

inline std::string uniqueName(const std::string& prefix) {
  std::random_device random;
  return prefix + std::to_string(random()) + std::to_string(random() % 100000);
}

// A database of its own for each test: a fresh SQLite file in a fresh folder, or a fresh schema
// on the PostgreSQL server (tests run in parallel against one database). `text` opens it.
class Database {
 public:
  explicit Database(Engine engine) : engine_(engine) {}
  ~Database() {
    if (engine_ == Engine::kSqlite && !folder_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
    if (engine_ == Engine::kPostgresql && !schema_.empty()) {
      auto admin = makeOdbcConnection();
      if (admin->Open(server_) == Outcome::kOk)
        admin->Execute("drop schema " + schema_ + " cascade");
    }
  }

  // False when the engine is not at hand (no PostgreSQL server named).
  bool create() {
    if (engine_ == Engine::kSqlite) {
      folder_ = std::filesystem::temp_directory_path() / uniqueName("solvard-db-");
      std::filesystem::create_directories(folder_);
      text_ = solvard::testing::driverPath(folder_ / "attend.db");
      return true;
    }
    const char* server = std::getenv("SOLVARD_PG_CONNECT");
    if (server == nullptr || *server == '\0') return false;
    server_ = server;
    if (server_.back() != ';') server_ += ';';
    schema_ = uniqueName("solvard_t");
    auto admin = makeOdbcConnection();
    EXPECT_EQ(admin->Open(server_), Outcome::kOk) << admin->lastDiagnostic().text();
    EXPECT_EQ(admin->Execute("create schema " + schema_), Outcome::kOk)
        << admin->lastDiagnostic().text();
    // Every session of the test, reopened ones included, works in the test's own schema and
    // can be told apart on the server by its application name.
    text_ = server_ + "ConnSettings={set search_path to " + schema_ +
            "; set application_name to '" + schema_ + "'}";
    return true;
  }

  Engine engine() const { return engine_; }
  const std::string& text() const { return text_; }
  const std::string& server() const { return server_; }
  const std::string& schema() const { return schema_; }
  const std::filesystem::path& folder() const { return folder_; }

 private:
  Engine engine_;
  std::filesystem::path folder_;
  std::string server_;
  std::string schema_;
  std::string text_;
};

// A parameterised test with an open connection to a database of its own.
class DatabaseTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!database_.create()) GTEST_SKIP() << "SOLVARD_PG_CONNECT is not set";
    ASSERT_EQ(connection_->Open(database_.text()), Outcome::kOk)
        << connection_->lastDiagnostic().text();
  }

  // The rows of a query, for checking what was written.
  Rows rows(const std::string& query) {
    auto reader = makeOdbcConnection();
    Rows result;
    EXPECT_EQ(reader->Open(database_.text()), Outcome::kOk) << reader->lastDiagnostic().text();
    EXPECT_EQ(reader->queryRows(query, result), Outcome::kOk) << reader->lastDiagnostic().text();
    return result;
  }

  Database database_{GetParam()};
  std::unique_ptr<Connection> connection_ = makeOdbcConnection();
};

}  // namespace solvard::db::testing
