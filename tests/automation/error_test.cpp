#include "automation/error.hpp"

#include <gtest/gtest.h>

namespace solvard::automation {
namespace {

using detail::Fault;
using detail::FaultKind;

struct KindCase {
  const char* name;
  Fault fault;
  int32_t number;
  const char* description;
};

class FaultKinds : public ::testing::TestWithParam<KindCase> {};

// A fault of the core reaches a host as the run-time error its kind has always been, in the
// same words.
TEST_P(FaultKinds, BecomeTheirRunTimeError) {
  const KindCase& c = GetParam();
  const AutomationError error = asAutomationError(c.fault);
  EXPECT_EQ(error.number(), c.number);
  EXPECT_EQ(error.description(), c.description);
  EXPECT_EQ(error.kind(), c.fault.kind());
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, FaultKinds,
    ::testing::Values(
        KindCase{"InvalidArgument", Fault(FaultKind::invalid_argument), 5,
                 "Invalid procedure call or argument"},
        KindCase{"Overflow", Fault(FaultKind::overflow), 6, "Overflow"},
        KindCase{"TypeMismatch", Fault(FaultKind::type_mismatch), 13, "Type mismatch"},
        KindCase{"SettingRefused", Fault(FaultKind::invalid_value, "the device refuses 14400 baud"),
                 380, "Invalid property value: the device refuses 14400 baud"},
        KindCase{"PortNumber", Fault(FaultKind::invalid_port_number), 8002, "Invalid port number"},
        KindCase{"Busy", Fault(FaultKind::port_busy, "another command is using the serial port"),
                 8005, "Port already open: another command is using the serial port"},
        KindCase{"Unavailable",
                 Fault(FaultKind::port_unavailable, "/dev/ttyS9: No such file or directory"), 8010,
                 "Port unavailable: /dev/ttyS9: No such file or directory"},
        KindCase{"NotOpen", Fault(FaultKind::port_not_open), 8012, "Port not open"},
        KindCase{"ReadOrWrite", Fault(FaultKind::port_io_failed, "Input/output error"), 8020,
                 "Port read or write failed: Input/output error"},
        KindCase{"UnnamedKind", Fault(FaultKind::other, "the host's hook failed"), 51,
                 "the host's hook failed"}),
    [](const auto& info) { return std::string(info.param.name); });

// An error the face raised itself keeps its own number and words, also where the number is one
// of a kind's (a host's hook raising 8002), and is the fault of that kind to the core.
TEST(FaceErrors, KeepTheirNumberAndWords) {
  for (const auto& [number, description, kind] :
       {std::tuple{438, "Object doesn't support this property or method", FaultKind::other},
        std::tuple{8002, "Invalid port number: COM0", FaultKind::invalid_port_number}}) {
    const AutomationError raised(number, description);
    const Fault& fault = raised;
    EXPECT_EQ(fault.kind(), kind) << number;
    const AutomationError seen = asAutomationError(fault);
    EXPECT_EQ(seen.number(), number);
    EXPECT_EQ(seen.description(), description);
  }
}

}  // namespace
}  // namespace solvard::automation
