// The native line over a device server the test plays byte for byte (the network port's own
// bytes are tested in tests/serial/network_port_test.cpp).
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "solvard/solvard.hpp"
#include "telnet_peer.hpp"

namespace solvard::integration {
namespace {

// On the native line: the command during which the device server hung up fails as one whose
// terminal did not answer, and the next command on the same line connects again.
TEST(NetworkPort, ACommandCutByAHangUpFailsAndTheNextOneConnectsAgain) {
  TestPeer peer;
  const std::string address = "tcp://127.0.0.1:" + std::to_string(peer.port());
  auto server = std::async(std::launch::async, [&] {
    std::vector<PeerBytes> frames;
    if (!peer.accept()) return frames;
    frames.push_back(peer.read(2));
    peer.hangUp();
    if (!peer.accept()) return frames;
    frames.push_back(peer.read(2));
    peer.write({0x03, 0x02});
    return frames;
  });
  Line line = Line::make(Device::path(address), LineSettings{9600}).value();
  DoorTerminal door(line, MachineNumber::make(3).value());
  const auto cut = door.openDoor();
  ASSERT_FALSE(cut.ok());
  EXPECT_EQ(cut.error().code(), Errc::no_reply);
  EXPECT_EQ(cut.error().detail(),
            "terminal 3: 0 of 2 bytes of the acknowledgement came after 03 11");
  const auto next = door.openDoor();
  EXPECT_TRUE(next.ok()) << next.error().message();
  EXPECT_EQ(server.get(), (std::vector<PeerBytes>{{0x03, 0x11}, {0x03, 0x11}}));
}

}  // namespace
}  // namespace solvard::integration
