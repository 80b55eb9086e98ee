#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "serial/link.hpp"
#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "support/pty_pair.hpp"
#include "ui/notice_messages.hpp"

namespace solvard::serial::testing {
namespace {

using namespace std::chrono_literals;

// Bytes a terminal sent while nobody had the port open (the late reply of an exchange that had
// given up) are dropped at the open: the next exchange must not take them for its reply.
TEST(StaleBytesTest, BytesFromBeforeTheOpenAreNotTakenForTheReply) {
  constexpr int16_t kPort = 43;
  solvard::testing::PtyPair pty;
  PortDevices devices;
  devices.map(kPort, pty.path());

  // A raw watcher on the line makes sure the stale bytes wait in the device before the open.
  const int watcher = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(watcher, 0);
  termios raw{};
  ASSERT_EQ(::tcgetattr(watcher, &raw), 0);
  ::cfmakeraw(&raw);
  ASSERT_EQ(::tcsetattr(watcher, TCSANOW, &raw), 0);
  const Bytes stale{3, 0x06};
  ASSERT_EQ(::write(pty.farEnd(), stale.data(), stale.size()), 2);
  int waiting = 0;
  for (int i = 0; i < 200 && waiting < 2; ++i) {
    std::this_thread::sleep_for(5ms);
    ::ioctl(watcher, FIONREAD, &waiting);
  }
  ASSERT_EQ(waiting, 2);

  auto port = makePlatformPort(&devices);
  std::vector<int32_t> reported;
  Link link(LinkServices{
      *port, steadyClock(), {}, [&](Notice n) { reported.push_back(ui::messageNumber(n)); }, 5ms});
  ASSERT_EQ(link.OpenPort(PortSetup{kPort, "9600,N,8,1", 1024, 512}), OpenResult::Opened);
  ::close(watcher);

  link.SendFrame(Bytes{3, 0x11});
  uint8_t frame[8];
  pollfd sent{pty.farEnd(), POLLIN, 0};
  ASSERT_EQ(::poll(&sent, 1, 2000), 1);
  ASSERT_EQ(::read(pty.farEnd(), frame, sizeof frame), 2);
  const Bytes refusal{3, 0x15};
  ASSERT_EQ(::write(pty.farEnd(), refusal.data(), refusal.size()), 2);

  EXPECT_EQ(link.AwaitReply(2, 2), WaitResult::Arrived);
  EXPECT_EQ(link.ReadReply(2), refusal);
  EXPECT_EQ(port->InBufferCount(), 0);
  link.ClosePort();
  EXPECT_TRUE(reported.empty());
}

}  // namespace
}  // namespace solvard::serial::testing
