#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace solvard::db {

// What the database (or this layer) said about the last operation that failed, kept for the
// library's log: the downloads decide what a failure means, so the layer only reports it.
struct Diagnostic {
  std::string sqlState;  // five characters, e.g. "42S02"; empty when nothing failed
  int32_t nativeCode = 0;
  std::string message;

  bool empty() const { return sqlState.empty() && message.empty(); }
  // "[42S02] (1) no such table: X", the form the library's log shows.
  std::string text() const;

  bool operator==(const Diagnostic&) const = default;
};

// SQLSTATEs this layer gives to failures it finds itself, before or instead of the driver.
namespace states {
inline constexpr std::string_view kGeneral = "HY000";             // e.g. a provider not supported
inline constexpr std::string_view kSequence = "HY010";            // e.g. open while already open
inline constexpr std::string_view kNotConnected = "08003";        // an operation on a closed one
inline constexpr std::string_view kCannotConnect = "08001";       // the connection text is unusable
inline constexpr std::string_view kInvalidTransaction = "25000";  // commit without a transaction
}  // namespace states

// Whether a failure with this SQLSTATE means the server is gone or dropped this session, so
// that the session cannot be used any more and only opening it again can help: the ODBC
// connection class 08 (08S01 link failure, 08003, 08006 ...), PostgreSQL's shutdown and
// termination states 57P01 to 57P03, and HYT01 (connection timeout).
bool isConnectionLostState(std::string_view sqlState);

}  // namespace solvard::db
