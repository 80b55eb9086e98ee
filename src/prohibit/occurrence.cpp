#include "prohibit/occurrence.hpp"

#include <chrono>
#include <functional>
#include <random>
#include <thread>

namespace solvard::prohibit {

std::string newOccurrence() {
  // One generator per thread, seeded from the system's entropy, the time and the thread, so
  // that lines downloading at once on their own threads never share a sequence.
  thread_local std::mt19937_64 generator = [] {
    std::random_device entropy;
    std::seed_seq seed{
        entropy(),
        entropy(),
        entropy(),
        entropy(),
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()),
        static_cast<unsigned>(std::hash<std::thread::id>{}(std::this_thread::get_id()))};
    return std::mt19937_64(seed);
  }();
  static constexpr char kHex[] = "0123456789abcdef";
  uint64_t value = generator();
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHex[value & 15];
  return text;
}

}  // namespace solvard::prohibit
