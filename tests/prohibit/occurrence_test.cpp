#include "prohibit/occurrence.hpp"

#include <gtest/gtest.h>

#include <set>

namespace solvard::prohibit {
namespace {

// Every record of a download gets an identity no other record has, including those of another
// download running beside it; each is sixteen lowercase hex digits.
TEST(OccurrenceSource, GivesEveryRecordItsOwnIdentity) {
  OccurrenceSource first;
  OccurrenceSource second;
  std::set<std::string> seen;
  for (int i = 0; i < 2000; ++i) {
    for (OccurrenceSource* source : {&first, &second}) {
      const std::string occurrence = source->next();
      ASSERT_EQ(occurrence.size(), 16u) << occurrence;
      ASSERT_EQ(occurrence.find_first_not_of("0123456789abcdef"), std::string::npos) << occurrence;
      ASSERT_TRUE(seen.insert(occurrence).second) << occurrence << " given twice";
    }
  }
}

}  // namespace
}  // namespace solvard::prohibit
