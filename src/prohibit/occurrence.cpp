#include "prohibit/occurrence.hpp"

#include <cstdint>
#include <random>

namespace solvard::prohibit {

std::string newOccurrence() {
  // Straight from the system's entropy, 64 bits a record: no generator state to share between
  // lines downloading at once on their own threads, and a record a second or so apart costs
  // nothing worth keeping a generator for.
  std::random_device entropy;
  uint64_t value = (uint64_t{entropy()} << 32) ^ uint64_t { entropy() };
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHex[value & 15];
  return text;
}

}  // namespace solvard::prohibit
