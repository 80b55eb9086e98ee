#include "serial/device_key.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace solvard::serial {
namespace {

namespace fs = std::filesystem;

struct Case {
  std::string one, other;
  bool same;
};

TEST(DeviceKeyTest, ADeviceServerIsItsHostAndPortWhateverTheScheme) {
  const Case cases[] = {
      {"tcp://Door-Server.local:4001", "rfc2217://door-server.local.:4001", true},
      {"tcp://[::1]:4001", "tcp://[::1]:4001", true},
      {"tcp://door-server:4001", "tcp://door-server:4002", false},
      {"tcp://door-server:4001", "/dev/door-server", false},
      {"/dev/unplugged0", "/dev/unplugged0", true},  // not resolvable: its own text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sameDevice(c.one, c.other), c.same) << c.one << " | " << c.other;
  }
  EXPECT_EQ(deviceKey("tcp://Door-Server:4001"), "network door-server 4001");
}

#ifndef _WIN32
// A /dev/serial/by-id name is a link to the device node (links are a POSIX host's way to name a
// serial device; a Windows host names it COMn).
TEST(DeviceKeyTest, ALocalDeviceIsItsResolvedPath) {
  const fs::path folder = fs::temp_directory_path() / ("solvard-keys-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "by-id");
  std::ofstream(folder / "ttyUSB0").put('\n');  // a file stands in for the device node
  fs::create_symlink("../ttyUSB0", folder / "by-id" / "usb-FTDI_FT232R-if00-port0");
  const std::string device = (folder / "ttyUSB0").string();
  const Case cases[] = {
      {device, (folder / "by-id" / "usb-FTDI_FT232R-if00-port0").string(), true},
      {device, (folder / "by-id" / ".." / "ttyUSB0").string(), true},
      {device, (folder / "ttyUSB1").string(), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sameDevice(c.one, c.other), c.same) << c.one << " | " << c.other;
  }
  fs::remove_all(folder);
}
#endif

}  // namespace
}  // namespace solvard::serial
