#include <fcntl.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "automation/error.hpp"
#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "support/pty_pair.hpp"
#include "support/serial_device_names.hpp"

namespace solvard::serial::testing {
namespace {

TEST(SerialDeviceNameTest, TellsRealSerialDevicesFromOtherFiles) {
  struct Case {
    const char* path;
    bool serial;
  } cases[] = {
      {"/dev/ttyS0", true},
      {"/dev/ttyS31", true},
      {"/dev/ttyUSB0", true},
      {"/dev/ttyACM2", true},
      {"/dev/ttyAMA0", true},
      {"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", true},
      {"COM1", true},
      {"com12:", true},
      {R"(\\.\COM12)", true},
      {"//./COM3", true},
      {"/dev/pts/3", false},
      {"/dev/ptmx", false},
      {"/dev/tty", false},
      {"/dev/null", false},
      {"/dev/ttyS", false},
      {"/tmp/ttyS0", false},
      {"COM", false},
      {"COMX", false},
      {"COM1234", false},
      {"lang/en.rc", false},
      {R"(\\.\PIPE\COM1)", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(solvard::testing::isSerialDeviceName(c.path), c.serial) << c.path;
  }
}

// The guard in every test program, seen through the library's own port.
class RealDeviceGuardTest : public ::testing::Test {
 protected:
  static constexpr int16_t kPort = 41;

  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Opens port kPort mapped to `device`; the description of the refusal, empty if it opened.
  std::string openPort(const std::string& device) {
    PortDevices devices;
    devices.map(kPort, device);
    auto port = makePlatformPort(&devices);
    port->CommPort(kPort);
    try {
      port->PortOpen(true);
      return {};
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      return error.description();
    }
  }

  std::string linkTo(const std::string& target) {
    std::filesystem::create_directories(dir_);
    const auto link = dir_ / "line";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
    return link.string();
  }

  const std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("solvard-guard-" + std::to_string(::getpid()));
};

// The devices named are ones a machine seldom has, so that even a guard that failed would open
// nothing wired to a terminal.
TEST_F(RealDeviceGuardTest, RefusesARealDeviceAndFailsTheTest) {
  for (const std::string device : {"/dev/ttyS97", "/dev/ttyUSB97", "/dev/ttyACM97"}) {
    std::string refusal;
    EXPECT_NONFATAL_FAILURE(refusal = openPort(device), "opened the real serial device " + device);
    EXPECT_EQ(refusal, "Port unavailable: " + device + ": Permission denied");
  }
}

// A link to a real device is followed, also when this machine lacks the device.
TEST_F(RealDeviceGuardTest, RefusesALinkToARealDevice) {
  for (const std::string device : {"/dev/ttyS98", "/dev/ttyUSB98"}) {
    const std::string link = linkTo(device);
    std::string refusal;
    EXPECT_NONFATAL_FAILURE(refusal = openPort(link), link + " (" + device + ")");
    EXPECT_EQ(refusal, "Port unavailable: " + link + ": Permission denied");
  }
}

TEST_F(RealDeviceGuardTest, LetsAPseudoTerminalOpen) {
  solvard::testing::PtyPair pty;
  EXPECT_EQ(openPort(pty.path()), "");
  EXPECT_EQ(openPort(linkTo(pty.path())), "");
}

// Streams and paths relative to a directory are caught too.
TEST_F(RealDeviceGuardTest, RefusesStreamsAndRelativeOpens) {
  std::ifstream stream;
  EXPECT_NONFATAL_FAILURE(stream.open("/dev/ttyS99"), "real serial device /dev/ttyS99");
  EXPECT_FALSE(stream.is_open());

  const int dev = ::open("/dev", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(dev, 0);
  int fd = 0;
  int error = 0;
  EXPECT_NONFATAL_FAILURE(
      {
        fd = ::openat(dev, "ttyUSB99", O_RDWR | O_NOCTTY | O_NONBLOCK);
        error = errno;
      },
      "real serial device ttyUSB99 (/dev/ttyUSB99)");
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(error, EACCES);
  ::close(dev);
}

}  // namespace
}  // namespace solvard::serial::testing
