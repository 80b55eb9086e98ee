#include "db/diagnostic.hpp"

namespace solvard::db {

std::string Diagnostic::text() const {
  return "[" + sqlState + "] (" + std::to_string(nativeCode) + ") " + message;
}

bool isConnectionLostState(std::string_view sqlState) {
  return sqlState.starts_with("08") || sqlState == "57P01" || sqlState == "57P02" ||
         sqlState == "57P03" || sqlState == "HYT01";
}

}  // namespace solvard::db
