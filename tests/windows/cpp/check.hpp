#pragma once

#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <type_traits>

// A client test program's own checks: each failed check prints where and what, and the program
// exits non-zero when any failed.
namespace solvard::test {

inline int& failureCount() {
  static int count = 0;
  return count;
}

inline std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += (c < 0x80) ? static_cast<char>(c) : '?';
  return out;
}

template <typename T>
std::string describe(const T& value) {
  std::ostringstream out;
  if constexpr (std::is_same_v<T, std::wstring>) {
    out << '"' << narrow(value) << '"';
  } else if constexpr (std::is_same_v<T, std::string>) {
    out << '"' << value << '"';
  } else if constexpr (std::is_integral_v<T> && sizeof(T) >= 4) {
    out << value << " (0x" << std::hex << static_cast<unsigned long long>(value) << ")";
  } else if constexpr (std::is_integral_v<T>) {
    out << static_cast<long long>(value);
  } else {
    out << value;
  }
  return out.str();
}

inline void fail(const char* file, int line, const std::string& what) {
  ++failureCount();
  std::fprintf(stderr, "%s:%d: FAILED %s\n", file, line, what.c_str());
}

template <typename A, typename B>
void checkEqual(const A& actual, const B& expected, const char* expr, const std::string& context,
                const char* file, int line) {
  if (actual == expected) return;
  fail(file, line,
       std::string(expr) + (context.empty() ? "" : " [" + context + "]") + ": got " +
           describe(actual) + ", expected " + describe(expected));
}

inline int finish(const char* program) {
  std::printf("%s: %d failure(s)\n", program, failureCount());
  return failureCount() == 0 ? 0 : 1;
}

}  // namespace solvard::test

#define CHECK(cond)                                                             \
  do {                                                                          \
    if (!(cond)) ::solvard::test::fail(__FILE__, __LINE__, "CHECK(" #cond ")"); \
  } while (0)
#define CHECK_EQ(actual, expected) \
  ::solvard::test::checkEqual((actual), (expected), #actual, "", __FILE__, __LINE__)
// The same with the name of the table row being checked.
#define CHECK_EQ_AT(actual, expected, row) \
  ::solvard::test::checkEqual((actual), (expected), #actual, (row), __FILE__, __LINE__)
