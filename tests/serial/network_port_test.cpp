// The network port against a device server the test plays byte for byte on 127.0.0.1: what
// the host sends on the connection, how it reads the server's answers, and what it says when the
// server refuses or goes away. The same on both platforms: POSIX sockets on Linux, Winsock on
// Windows.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "automation/error.hpp"
#include "integration/telnet_peer.hpp"
#include "serial/port_devices.hpp"
#include "serial/shared_port.hpp"
#include "serial/tcp_port.hpp"
#include "serial/telnet_com_port.hpp"
#ifdef _WIN32
#include "serial/win32/win32_port.hpp"
#endif

namespace solvard::integration {
namespace {

using serial::OpenFailure;
using serial::TcpPort;
namespace telnet = serial::telnet;

PeerBytes join(std::initializer_list<PeerBytes> parts) {
  PeerBytes all;
  for (const PeerBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The host's offer as it connects, and a device server's agreement with an echo offer the host
// must refuse.
const PeerBytes kOffer{255, 251, 44, 255, 251, 0, 255, 253, 0, 255, 253, 3};
const PeerBytes kAgreement{255, 253, 44, 255, 253, 0, 255, 251, 0, 255, 251, 3, 255, 251, 1};
const PeerBytes kRefuseEcho{255, 254, 1};

PeerBytes confirm(uint32_t baud) {
  return {255,
          250,
          44,
          101,
          static_cast<uint8_t>(baud >> 24),
          static_cast<uint8_t>(baud >> 16),
          static_cast<uint8_t>(baud >> 8),
          static_cast<uint8_t>(baud),
          255,
          240,
          255,
          250,
          44,
          102,
          8,
          255,
          240,
          255,
          250,
          44,
          103,
          1,
          255,
          240,
          255,
          250,
          44,
          104,
          1,
          255,
          240};
}

// Bytes waiting in the port once they came, or what had come when a second passed.
serial::Bytes inputWithin(TcpPort& port, int count) {
  for (int round = 0; round < 20 && port.InBufferCount() < count; ++round) {
    port.waitForInput(std::chrono::milliseconds(50));
  }
  return port.Input();
}

TEST(NetworkPort, RawTcpCarriesTheFrameAndTheReplyUnchanged) {
  TestPeer peer;
  TcpPort port("tcp://127.0.0.1:" + std::to_string(peer.port()));
  port.Settings("19200,N,8,1");
  auto server = std::async(std::launch::async, [&] {
    if (!peer.accept()) return PeerBytes{};
    const PeerBytes frame = peer.read(3);
    peer.write({0x03, 0xFF, 0x02});
    return frame;
  });
  port.PortOpen(true);
  port.Output(serial::Bytes{0x03, 0xFF, 0x11});
  EXPECT_EQ(inputWithin(port, 3), (serial::Bytes{0x03, 0xFF, 0x02}));
  EXPECT_EQ(server.get(), (PeerBytes{0x03, 0xFF, 0x11}));
}

TEST(NetworkPort, ComPortSetsTheLineThenCarriesEscapedBytes) {
  TestPeer peer;
  TcpPort port("rfc2217://127.0.0.1:" + std::to_string(peer.port()));
  port.Settings("19200,N,8,1");
  auto server = std::async(std::launch::async, [&] {
    std::vector<PeerBytes> seen;
    if (!peer.accept()) return seen;
    seen.push_back(peer.read(kOffer.size()));
    peer.write(kAgreement);
    const PeerBytes settings = telnet::lineSettings({19200, serial::Parity::None, 8, 1});
    seen.push_back(peer.read(kRefuseEcho.size() + settings.size()));
    peer.write(confirm(19200));
    seen.push_back(peer.read(4 * 7));
    seen.push_back(peer.read(4));
    // A reply with a doubled 0xFF and a modem-state notice in its middle.
    peer.write({0x03, 255, 255, 255, 250, 44, 107, 0, 255, 240, 0x02});
    return seen;
  });
  port.PortOpen(true);
  port.Output(serial::Bytes{0x03, 0xFF, 0x11});
  EXPECT_EQ(inputWithin(port, 3), (serial::Bytes{0x03, 0xFF, 0x02}));
  const auto seen = server.get();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], kOffer);
  EXPECT_EQ(seen[1],
            join({kRefuseEcho, telnet::lineSettings({19200, serial::Parity::None, 8, 1})}));
  // No flow control, DTR on, RTS off, and the server's receive buffer purged.
  EXPECT_EQ(seen[2], join({telnet::setControl(1), telnet::setControl(8), telnet::setControl(12),
                           telnet::purgeData(telnet::Purge::Receive)}));
  EXPECT_EQ(seen[3], (PeerBytes{0x03, 0xFF, 0xFF, 0x11}));
}

// A setting the device server answers with another rate is refused on the open line and the
// line's own settings are sent again; the terminals' bytes that came among the answers are
// kept for the host.
TEST(NetworkPort, ASettingRefusedOnTheOpenLineIsTakenBackAndItsBytesKept) {
  TestPeer peer;
  TcpPort port("rfc2217://127.0.0.1:" + std::to_string(peer.port()));
  port.Settings("19200,N,8,1");
  auto server = std::async(std::launch::async, [&] {
    std::vector<PeerBytes> seen;
    if (!peer.accept()) return seen;
    (void)peer.read(kOffer.size());
    peer.write(kAgreement);
    const PeerBytes settings = telnet::lineSettings({19200, serial::Parity::None, 8, 1});
    (void)peer.read(kRefuseEcho.size() + settings.size());
    peer.write(confirm(19200));
    (void)peer.read(4 * 7);
    const PeerBytes asked = telnet::lineSettings({38400, serial::Parity::None, 8, 1});
    seen.push_back(peer.read(asked.size()));
    peer.write(join({{0x03, 255, 255}, confirm(9600), {0x02}}));
    seen.push_back(peer.read(settings.size()));
    peer.write(confirm(19200));
    return seen;
  });
  port.PortOpen(true);
  try {
    port.Settings("38400,N,8,1");
    ADD_FAILURE() << "accepted";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.description(),
              "Invalid property value: the device server set 9600 baud, not 38400");
  }
  EXPECT_TRUE(port.PortOpen());
  EXPECT_EQ(inputWithin(port, 3), (serial::Bytes{0x03, 0xFF, 0x02}));
  EXPECT_EQ(server.get(),
            (std::vector<PeerBytes>{telnet::lineSettings({38400, serial::Parity::None, 8, 1}),
                                    telnet::lineSettings({19200, serial::Parity::None, 8, 1})}));
}

struct Refusal {
  const char* name;
  PeerBytes answer;        // after the host's offer
  PeerBytes confirmation;  // after the host's line settings, if it sends them
  OpenFailure::Kind kind;
  std::string reason;
};

class RefusingServer : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusingServer, FailsTheOpenWithItsReason) {
  const Refusal& c = GetParam();
  TestPeer peer;
  const std::string address = "rfc2217://127.0.0.1:" + std::to_string(peer.port());
  TcpPort port(address);
  port.Settings("19200,N,8,1");
  auto server = std::async(std::launch::async, [&] {
    if (!peer.accept()) return;
    (void)peer.read(kOffer.size());
    peer.write(c.answer);
    if (c.answer.empty()) peer.hangUp();
    if (!c.confirmation.empty()) {
      (void)peer.read(telnet::lineSettings({19200, serial::Parity::None, 8, 1}).size());
      peer.write(c.confirmation);
    }
    // Holds the connection until the host gave up on it.
    (void)peer.read(1000);
  });
  EXPECT_THROW(port.PortOpen(true), detail::Fault);
  EXPECT_FALSE(port.PortOpen());
  const auto failure = port.openFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, c.kind);
  EXPECT_EQ(failure->device, address);
  EXPECT_EQ(failure->reason, c.reason);
  server.get();
}

INSTANTIATE_TEST_SUITE_P(Answers, RefusingServer,
                         ::testing::Values(Refusal{"DontComPort",
                                                   {255, 254, 44},
                                                   {},
                                                   OpenFailure::Kind::SettingsRefused,
                                                   "the device server refuses the COM-PORT-OPTION"},
                                           Refusal{"OtherBaud",
                                                   {255, 253, 44},
                                                   confirm(9600),
                                                   OpenFailure::Kind::SettingsRefused,
                                                   "the device server set 9600 baud, not 19200"},
                                           Refusal{"ClosesTheConnection",
                                                   {},
                                                   {},
                                                   OpenFailure::Kind::Other,
                                                   "the device server closed the connection"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The system's own words for a connection nobody takes: Windows words them in its own language
// (Wine: "Connection refused."), so the expected text is the system's for the refusal's code.
#ifdef _WIN32
const std::string kRefusedReason = serial::win32::systemMessage(WSAECONNREFUSED);
#else
const std::string kRefusedReason = "Connection refused";
#endif

TEST(NetworkPort, ARefusedConnectionNamesTheAddressAndTheSystemsReason) {
  int closedPort = 0;
  {
    TestPeer gone;
    closedPort = gone.port();
  }
  const std::string address = "tcp://127.0.0.1:" + std::to_string(closedPort);
  // Words of the system's own, not a number standing in for missing ones.
  EXPECT_NE(kRefusedReason.rfind("system error", 0), 0u) << kRefusedReason;
  TcpPort port(address);
  EXPECT_THROW(port.PortOpen(true), detail::Fault);
  const auto failure = port.openFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, OpenFailure::Kind::Other);
  EXPECT_EQ(failure->device, address);
  EXPECT_EQ(failure->reason, kRefusedReason);

  // A name resolved first (from the hosts file, no name server asked), every address refused.
  const std::string named = "tcp://localhost:" + std::to_string(closedPort);
  TcpPort byName(named);
  EXPECT_THROW(byName.PortOpen(true), detail::Fault);
  ASSERT_TRUE(byName.openFailure().has_value());
  EXPECT_EQ(byName.openFailure()->kind, OpenFailure::Kind::Other);
  EXPECT_EQ(byName.openFailure()->device, named);
  EXPECT_EQ(byName.openFailure()->reason, kRefusedReason);

  TcpPort malformed("tcp://127.0.0.1");
  EXPECT_THROW(malformed.PortOpen(true), detail::Fault);
  ASSERT_TRUE(malformed.openFailure().has_value());
  EXPECT_EQ(malformed.openFailure()->kind, OpenFailure::Kind::NotFound);
}

// A server that hangs up in the middle of an exchange leaves the reply wait with nothing; the
// next open connects again and the line works.
TEST(NetworkPort, TheOpenAfterADroppedConnectionConnectsAgain) {
  TestPeer peer;
  TcpPort port("tcp://127.0.0.1:" + std::to_string(peer.port()));
  auto server = std::async(std::launch::async, [&] {
    if (!peer.accept()) return false;
    (void)peer.read(2);
    peer.hangUp();
    if (!peer.accept()) return false;
    (void)peer.read(2);
    peer.write({0x03, 0x02});
    return true;
  });
  port.PortOpen(true);
  port.Output(serial::Bytes{0x03, 0x11});
  EXPECT_EQ(inputWithin(port, 2), serial::Bytes{});
  port.PortOpen(false);
  port.PortOpen(true);
  port.Output(serial::Bytes{0x03, 0x11});
  EXPECT_EQ(inputWithin(port, 2), (serial::Bytes{0x03, 0x02}));
  EXPECT_TRUE(server.get());
}

// A device server that answers the host's offer and line settings, then, once the host has
// purged its receive buffer, sends Telnet NOPs without end. It stops after 4 MiB only so that
// a host reading without a bound fails the test instead of hanging it.
class FloodingServer final : public serial::NetworkSocket {
 public:
  static constexpr std::size_t kCap = 4 * 1024 * 1024;

  std::optional<ConnectFailure> connect(const std::string&, const std::string&,
                                        TimePoint) override {
    open_ = true;
    return std::nullopt;
  }
  void close() override { open_ = false; }
  bool isOpen() const override { return open_; }
  Transfer send(std::span<const uint8_t> bytes) override {
    const PeerBytes sent(bytes.begin(), bytes.end());
    if (sent == kOffer) answer_ = kAgreement;
    if (sent == telnet::lineSettings({19200, serial::Parity::None, 8, 1})) answer_ = confirm(19200);
    const PeerBytes purge = telnet::purgeData(telnet::Purge::Receive);
    if (sent.size() >= purge.size() && std::equal(purge.rbegin(), purge.rend(), sent.rbegin()))
      flooding_ = true;
    return {State::Done, bytes.size(), {}};
  }
  Transfer receive(std::span<uint8_t> room) override {
    if (!answer_.empty()) {
      const std::size_t count = std::min(room.size(), answer_.size());
      std::copy_n(answer_.begin(), count, room.begin());
      answer_.erase(answer_.begin(), answer_.begin() + static_cast<std::ptrdiff_t>(count));
      return {State::Done, count, {}};
    }
    if (!flooding_ || flooded_ >= kCap) return {State::WouldBlock, 0, {}};
    for (uint8_t& byte : room) byte = flooded_++ % 2 == 0 ? 255 : 241;  // IAC NOP
    return {State::Done, room.size(), {}};
  }
  Readiness waitReadable(TimePoint) override { return Readiness::Readable; }
  bool waitWritable(TimePoint) override { return true; }

  bool flooding() const { return flooding_; }
  std::size_t flooded() const { return flooded_; }

 private:
  bool open_ = false;
  bool flooding_ = false;
  PeerBytes answer_;
  std::size_t flooded_ = 0;
};

// Each look at the line takes a bounded share of the flood and returns, so a reply wait keeps
// reading its clock and ends at its limit however fast the commands come.
TEST(NetworkPort, AFloodOfTelnetCommandsIsReadInBoundedLooks) {
  auto owned = std::make_unique<FloodingServer>();
  const FloodingServer& server = *owned;
  TcpPort port("rfc2217://device-server:4001", std::move(owned));
  port.Settings("19200,N,8,1");
  port.PortOpen(true);
  ASSERT_TRUE(server.flooding());
  for (int look = 0; look < 3; ++look) {
    const std::size_t before = server.flooded();
    EXPECT_EQ(port.InBufferCount(), 0);
    EXPECT_GT(server.flooded() - before, 0u);
    EXPECT_LE(server.flooded() - before, 16u * 1024 + 512) << "look " << look;
  }
}

// The platform's own ports reach a device server the same two ways on Linux and Windows: by a
// port number mapped to its address, and by the address given as the device.
struct Route {
  const char* name;
  bool byNumber;
};

class PlatformRoute : public ::testing::TestWithParam<Route> {};

TEST_P(PlatformRoute, OpensTheDeviceServerAndCarriesTheFrame) {
  constexpr int16_t kNumber = 41;
  TestPeer peer;
  const std::string address = "tcp://127.0.0.1:" + std::to_string(peer.port());
  std::unique_ptr<serial::PortControl> port;
  serial::PortDevices devices;
  if (GetParam().byNumber) {
    devices.map(kNumber, address);
    port = serial::makePlatformPort(&devices);
    port->CommPort(kNumber);
  } else {
    port = serial::makePlatformPort(address);
  }
  auto server = std::async(std::launch::async, [&] {
    if (!peer.accept()) return PeerBytes{};
    const PeerBytes frame = peer.read(3);
    peer.write({0x03, 0x02});
    return frame;
  });
  port->Settings("9600,N,8,1");
  port->PortOpen(true);
  port->Output(serial::Bytes{0x03, 0xFF, 0x11});
  serial::Bytes reply;
  for (int round = 0; round < 20 && port->InBufferCount() < 2; ++round) {
    port->waitForInput(std::chrono::milliseconds(50));
  }
  reply = port->Input();
  port->PortOpen(false);
  EXPECT_EQ(server.get(), (PeerBytes{0x03, 0xFF, 0x11}));
  EXPECT_EQ(reply, (serial::Bytes{0x03, 0x02}));
}

INSTANTIATE_TEST_SUITE_P(Ways, PlatformRoute,
                         ::testing::Values(Route{"MappedPortNumber", true},
                                           Route{"DeviceName", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::integration
