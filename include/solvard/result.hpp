#pragma once

#include <utility>
#include <variant>

#include "solvard/error.hpp"

namespace solvard {

// A value or the Error that prevented it. Expected failures (a silent terminal, a refused
// value, a database that cannot be opened) come back this way, never as exceptions.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  const T& value() const& { return std::get<0>(state_); }
  T& value() & { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const T& operator*() const& { return value(); }
  T& operator*() & { return value(); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }
  // The error; only when !ok().
  const Error& error() const { return std::get<1>(state_); }

  template <typename U>
  T value_or(U&& fallback) const {
    return ok() ? value() : static_cast<T>(std::forward<U>(fallback));
  }

 private:
  std::variant<T, Error> state_;
};

// A call that gives nothing back but may fail.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return error_; }

 private:
  Error error_{Errc::invalid_value, {}};
  bool failed_ = false;
};

}  // namespace solvard
