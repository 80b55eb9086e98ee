#include "prohibit/occurrence.hpp"

#include <cstdint>

namespace solvard::prohibit {
namespace {

uint64_t entropySeed() {
  std::random_device entropy;
  return (uint64_t{entropy()} << 32) ^ uint64_t { entropy() };
}

}  // namespace

OccurrenceSource::OccurrenceSource() : generator_(entropySeed()) {}

std::string OccurrenceSource::next() {
  uint64_t value = generator_();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kHex[value & 15];
  return text;
}

}  // namespace solvard::prohibit
