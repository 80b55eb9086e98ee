// The Win32 port against what a Windows machine (or Wine) has without a terminal: names, opens
// that fail and why, and the wait on a closed port. Windows only.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "automation/error.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"
#include "serial/shared_port.hpp"

namespace solvard::serial {
namespace {

using Clock = std::chrono::steady_clock;
using Kind = OpenFailure::Kind;
using namespace std::chrono_literals;

// Opens `port`; the description of the refusal, empty if it opened.
std::string openPort(PortControl& port) {
  try {
    port.PortOpen(true);
    return {};
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), automation::errors::kPortUnavailable);
    return error.description();
  }
}

std::filesystem::path scratchFile(const std::string& name) {
  return std::filesystem::temp_directory_path() /
         (name + "-" + std::to_string(Clock::now().time_since_epoch().count()));
}

TEST(Win32PortTest, PortNumbersOpenTheDeviceNamespaceNames) {
  EXPECT_EQ(platformPortDevice(1), R"(\\.\COM1)");
  EXPECT_EQ(platformPortDevice(12), R"(\\.\COM12)");
  PortDevices devices;
  EXPECT_EQ(devices.pathFor(7), R"(\\.\COM7)");
  devices.map(7, "COM3");
  EXPECT_EQ(devices.pathFor(7), "COM3");
  devices.unmap(7);
  EXPECT_EQ(devices.pathFor(7), R"(\\.\COM7)");
}

TEST(Win32PortTest, ADeviceThatIsNotThereIsNotFoundInTheSystemsWords) {
  const std::string device = (scratchFile("solvard-missing") / "port").string();
  auto port = makePlatformPort(device);
  const std::string refusal = openPort(*port);
  EXPECT_FALSE(port->PortOpen());
  const auto failure = port->openFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, Kind::NotFound);
  EXPECT_EQ(failure->device, device);
  EXPECT_FALSE(failure->reason.empty());
  EXPECT_EQ(failure->reason.find('\n'), std::string::npos) << failure->reason;
  EXPECT_EQ(refusal, "Port unavailable: " + device + ": " + failure->reason);
}

// A file opens, but is no comm device: the first comm call fails, and so does the open.
TEST(Win32PortTest, AFileThatIsNoCommDeviceDoesNotOpen) {
  const auto file = scratchFile("solvard-notaport");
  std::ofstream(file) << "x";
  auto port = makePlatformPort(file.string());
  const std::string refusal = openPort(*port);
  EXPECT_FALSE(port->PortOpen());
  const auto failure = port->openFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->kind, Kind::InUse);
  EXPECT_NE(failure->kind, Kind::SettingsRefused);
  EXPECT_EQ(failure->device, file.string());
  EXPECT_FALSE(failure->reason.empty());
  EXPECT_EQ(refusal, "Port unavailable: " + file.string() + ": " + failure->reason);
  // The handle was closed: the file can go.
  std::error_code error;
  EXPECT_TRUE(std::filesystem::remove(file, error)) << error.message();
}

TEST(Win32PortTest, AClosedPortRefusesWhatNeedsItOpenAndWaitsTheWholeLimit) {
  auto port = makePlatformPort();
  EXPECT_FALSE(port->PortOpen());
  EXPECT_THROW(port->InBufferCount(), detail::Fault);
  EXPECT_THROW(port->Input(), detail::Fault);
  EXPECT_THROW(port->InBufferCount(1), detail::Fault);
  EXPECT_THROW(port->CommPort(0), detail::Fault);
  EXPECT_THROW(port->Settings("9600,X,8,1"), detail::Fault);
  EXPECT_NO_THROW(port->Settings("19200,E,7,2"));
  EXPECT_NO_THROW(port->PortOpen(false));
  EXPECT_EQ(port->openFailure(), std::nullopt);
  for (const auto limit : {1ms, 5ms, 16ms, 40ms}) {
    const auto began = Clock::now();
    port->waitForInput(limit);
    EXPECT_GE(Clock::now() - began, limit);
  }
}

// The runner maps a port number to a path that does not exist (SOLVARD_WINE_MISSING_COM=7 with
// HKLM\Software\Wine\Ports COM7=/nonexistent/tty). Wine opens the port, and fails its first
// comm call: the open fails, naming the port's device.
TEST(Win32PortTest, APortMappedToAMissingDeviceDoesNotOpen) {
  const char* number = std::getenv("SOLVARD_WINE_MISSING_COM");
  if (number == nullptr || *number == '\0') {
    GTEST_SKIP() << "SOLVARD_WINE_MISSING_COM is not set: no port is mapped to a missing device";
  }
  const auto port = static_cast<int16_t>(std::atoi(number));
  ASSERT_GT(port, 0) << number;
  const std::string device = R"(\\.\COM)" + std::to_string(port);
  auto line = makePlatformPort();
  line->CommPort(port);
  const std::string refusal = openPort(*line);
  EXPECT_FALSE(line->PortOpen());
  const auto failure = line->openFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_TRUE(failure->kind == Kind::NotFound || failure->kind == Kind::Other)
      << static_cast<int>(failure->kind) << " " << failure->reason;
  EXPECT_EQ(failure->device, device);
  EXPECT_FALSE(failure->reason.empty());
  EXPECT_EQ(refusal, "Port unavailable: " + device + ": " + failure->reason);
}

}  // namespace
}  // namespace solvard::serial
