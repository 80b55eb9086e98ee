#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace solvard::tool {

// A small JSON value for the command's line protocol: one object per line each way.
class Json {
 public:
  using Array = std::vector<Json>;
  using Object = std::vector<std::pair<std::string, Json>>;  // keeps the order written

  Json() = default;
  Json(std::nullptr_t) {}
  Json(bool v) : value_(v) {}
  Json(int v) : value_(static_cast<double>(v)) {}
  Json(int64_t v) : value_(static_cast<double>(v)) {}
  Json(double v) : value_(v) {}
  Json(std::string v) : value_(std::move(v)) {}
  Json(const char* v) : value_(std::string(v)) {}
  Json(Array v) : value_(std::move(v)) {}
  Json(Object v) : value_(std::move(v)) {}

  bool isNull() const { return value_.index() == 0; }
  bool isBool() const { return value_.index() == 1; }
  bool isNumber() const { return value_.index() == 2; }
  bool isString() const { return value_.index() == 3; }
  bool isArray() const { return value_.index() == 4; }
  bool isObject() const { return value_.index() == 5; }

  bool asBool() const { return std::get<bool>(value_); }
  double asNumber() const { return std::get<double>(value_); }
  const std::string& asString() const { return std::get<std::string>(value_); }
  const Array& asArray() const { return std::get<Array>(value_); }
  const Object& asObject() const { return std::get<Object>(value_); }
  Object& asObject() { return std::get<Object>(value_); }

  // Member of an object, or nullptr when absent (or when this is not an object).
  const Json* find(std::string_view key) const;
  // Sets or replaces a member of an object.
  void set(std::string key, Json value);

  // Arrays and objects nest at most this deep in a parsed text (the outermost is level 1).
  static constexpr int kMaxDepth = 64;

  // Always valid UTF-8: a byte of a string that is not part of a character is written as U+FFFD.
  std::string dump() const;
  // Takes UTF-8 only (no overlong forms, no encoded surrogates) and only escapes that stand for
  // characters (a UTF-16 surrogate only as a pair); throws JsonError, which says where and why.
  static Json parse(std::string_view text);

 private:
  std::variant<std::nullptr_t, bool, double, std::string, Array, Object> value_;
};

class JsonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace solvard::tool
