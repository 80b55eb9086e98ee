#include <gtest/gtest.h>

#include "attend/mac_command.hpp"
#include "values/fault.hpp"

namespace solvard::attend {
namespace {

using serial::Bytes;

struct FrameCase {
  const char* name;
  uint8_t machine;
  MacFunction function;
  Bytes values;
  Bytes frame;
};

class MacFrames : public ::testing::TestWithParam<FrameCase> {};

// Machine number, the count of bytes after it, the command code, the values.
TEST_P(MacFrames, CarryTheValuesAfterTheCommandCode) {
  const FrameCase& c = GetParam();
  EXPECT_EQ(macFrame(c.machine, c.function, c.values), c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFunction, MacFrames,
    ::testing::Values(FrameCase{"ClearRecords", 1, MacFunction::ClearRecords, {}, {1, 2, 0x06}},
                      FrameCase{
                          "ClearCardList", 255, MacFunction::ClearCardList, {}, {255, 2, 0x0C}},
                      FrameCase{"DeleteCard",
                                7,
                                MacFunction::DeleteCard,
                                cardValues("001234"),
                                {7, 5, 0x0D, 0x00, 0x12, 0x34}},
                      FrameCase{"SetFlowNoOriginalFirst",
                                3,
                                MacFunction::SetFlowNo,
                                flowValues("000042", "0123456789"),
                                {3, 10, 0x0A, 0x01, 0x23, 0x45, 0x67, 0x89, 0x00, 0x00, 0x42}},
                      FrameCase{"SetTime",
                                0,
                                MacFunction::SetTime,
                                clockValues(23, 59, 7),
                                {0, 5, 0x08, 0x23, 0x59, 0x07}},
                      FrameCase{"SetDate",
                                12,
                                MacFunction::SetDate,
                                clockValues(26, 12, 11),
                                {12, 5, 0x09, 0x26, 0x12, 0x11}}),
    [](const auto& info) { return std::string(info.param.name); });

// Values that cannot be packed are refused rather than sent as other digits.
TEST(MacValues, ThatDoNotPackAreRefusedByKind) {
  const auto kindOf = [](auto&& build) {
    try {
      build();
    } catch (const detail::Fault& fault) {
      return fault.kind();
    }
    return detail::FaultKind::other;
  };
  EXPECT_EQ(kindOf([] { cardValues("12a456"); }), detail::FaultKind::type_mismatch);
  EXPECT_EQ(kindOf([] { clockValues(100, 0, 0); }), detail::FaultKind::overflow);
  EXPECT_EQ(kindOf([] { clockValues(0, -1, 0); }), detail::FaultKind::overflow);
}

}  // namespace
}  // namespace solvard::attend
