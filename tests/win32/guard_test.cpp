// The Windows guard in every test program (tests/support/serial_device_guard_win32.cpp), seen
// through the library's own port and the C run-time. Windows only.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "automation/error.hpp"
#include "serial/shared_port.hpp"

namespace solvard::testing {
extern const bool serialDeviceGuardInstalled;
}

namespace solvard::serial {
namespace {

std::string openPort(const std::string& device) {
  auto port = makePlatformPort(device);
  try {
    port->PortOpen(true);
    return {};
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    return error.description();
  }
}

TEST(SerialDeviceGuardTest, IsInTheImportTables) {
  EXPECT_TRUE(solvard::testing::serialDeviceGuardInstalled);
}

// The ports named are ones a machine seldom has (and Wine maps none of them unless told), so
// that even a guard that failed would open nothing wired to a terminal.
TEST(SerialDeviceGuardTest, RefusesAPortByNameAndFailsTheTest) {
  for (const std::string device : {R"(\\.\COM97)", "COM98", "com96:"}) {
    std::string refusal;
    EXPECT_NONFATAL_FAILURE(refusal = openPort(device), "opened the real serial device " + device);
    EXPECT_EQ(refusal.rfind("Port unavailable: " + device + ": ", 0), 0u) << refusal;
  }
}

TEST(SerialDeviceGuardTest, RefusesTheCRunTimesOpens) {
  std::FILE* file = nullptr;
  EXPECT_NONFATAL_FAILURE(file = std::fopen("COM95", "rb"), "real serial device COM95");
  EXPECT_EQ(file, nullptr);
  std::ifstream stream;
  EXPECT_NONFATAL_FAILURE(stream.open(R"(\\.\COM94)"), R"(real serial device \\.\COM94)");
  EXPECT_FALSE(stream.is_open());
}

}  // namespace
}  // namespace solvard::serial
