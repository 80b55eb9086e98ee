#include "ui/lan_res.hpp"

#include <atomic>

namespace solvard::ui {

namespace {

std::atomic<int32_t>& handle() {
  static std::atomic<int32_t> value{0};
  return value;
}

}  // namespace

int32_t lanResHandle() { return handle().load(); }

void setLanResHandle(const automation::Variant& value) {
  // Converted first, so a value that fails leaves the handle untouched.
  const int32_t converted = automation::toInt32(value);
  handle().store(converted);
}

}  // namespace solvard::ui
