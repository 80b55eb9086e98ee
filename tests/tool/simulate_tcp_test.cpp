// `solvard simulate --listen`: a TCP client reaches the same terminals as the line, its bytes
// taken as bytes from the line and the replies sent back to it alone.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>

#include "simulate_exchange.hpp"
#include "simulate_process.hpp"

namespace solvard::tool::testing {
namespace {

namespace fs = std::filesystem;

class SimulateTcp : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string& started = sim.outputLines(2);
    const std::string head = "line: " + link.string() + "\ntcp: 127.0.0.1:";
    ASSERT_TRUE(started.starts_with(head)) << started;
    const std::string port = started.substr(head.size(), started.size() - head.size() - 1);
    auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), port_);
    ASSERT_TRUE(error == std::errc() && end == port.data() + port.size() && port_ != 0) << started;
  }
  void TearDown() override {
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    fs::remove_all(folder);
  }

  // The frames the simulator printed after its two lines of start.
  std::string framesPrinted() {
    sim.stop(SIGTERM);
    const std::string all = sim.output();
    const std::size_t second = all.find('\n', all.find('\n') + 1);
    return all.substr(second + 1);
  }

  const fs::path folder = [] {
    fs::path at =
        fs::temp_directory_path() / ("solvard-simulate-tcp-" + std::to_string(::getpid()));
    fs::remove_all(at);
    fs::create_directories(at);
    return at;
  }();
  const fs::path link = folder / "line";
  SimulateProcess sim{{"--door", "3", "--listen", "127.0.0.1:0", "--link", link.string()}};
  uint16_t port_ = 0;
};

struct TcpCase {
  const char* name;
  std::vector<Bytes> pieces;  // sent one after another, as a host's writes
  Bytes reply;
};

class SimulateTcpFrames : public SimulateTcp, public ::testing::WithParamInterface<TcpCase> {};

TEST_P(SimulateTcpFrames, ClientGetsTheTerminalsReply) {
  const int client = connectTo(port_);
  ASSERT_GE(client, 0);
  for (const Bytes& piece : GetParam().pieces) sendBytes(client, piece);
  // One byte more than the reply is waited for, so an extra byte would show; bounded.
  EXPECT_EQ(receive(client, GetParam().reply.size() + 1, 500ms), GetParam().reply);
  ::close(client);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SimulateTcpFrames,
    ::testing::Values(TcpCase{"OpenDoor", {{3, 0x11}}, {3, 2}},
                      TcpCase{"OpenDoorInTwoWrites", {{3}, {0x11}}, {3, 2}},
                      TcpCase{"RecordPromptWithNoRecords", {{3, 0x01}}, {3, 1, 0}},
                      TcpCase{"SetTimeOfDay", {{3, 0x07, 3, 0x13, 0x05, 0x09}}, {3, 2}},
                      TcpCase{"NoTerminalSeven", {{7, 0x11}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulateTcp, ClientLeavingMidFrameLeavesTheLineAndTheNextClientServed) {
  const int leaving = connectTo(port_);
  ASSERT_GE(leaving, 0);
  sendBytes(leaving, {3});
  ::close(leaving);
  // The frame it began ends when the simulator sees it gone: a third line of output.
  EXPECT_TRUE(sim.outputLines(3).ends_with("\n<- 03  (incomplete frame)\n")) << sim.output();

  const int next = connectTo(port_);
  ASSERT_GE(next, 0);
  EXPECT_EQ(exchange(next, {3, 0x11}, 2), (Bytes{3, 2}));
  const int line = openLine(link.string());
  ASSERT_GE(line, 0);
  EXPECT_EQ(exchange(line, {3, 0x11}, 2), (Bytes{3, 2}));
  ::close(line);
  ::close(next);
  EXPECT_EQ(framesPrinted(),
            "<- 03  (incomplete frame)\n"
            "<- 03 11  (answered)\n-> 03 02\n"
            "<- 03 11  (answered)\n-> 03 02\n");
}

// A frame begun on the line and one from a client at the same time stay apart: each is
// answered whole, on its own side.
TEST_F(SimulateTcp, LineAndClientFramesDoNotMix) {
  const int client = connectTo(port_);
  const int line = openLine(link.string());
  ASSERT_GE(client, 0);
  ASSERT_GE(line, 0);
  sendBytes(line, {3});
  sendBytes(client, {3});
  sendBytes(line, {0x11});
  sendBytes(client, {0x01});
  EXPECT_EQ(receive(line, 3, 500ms), (Bytes{3, 2}));
  EXPECT_EQ(receive(client, 4, 500ms), (Bytes{3, 1, 0}));
  ::close(line);
  ::close(client);
}

TEST(SimulateTcpStart, PortTakenIsAFailureNamingIt) {
  const int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(taken, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(::listen(taken, 1), 0);
  socklen_t length = sizeof at;
  ::getsockname(taken, reinterpret_cast<sockaddr*>(&at), &length);
  const std::string endpoint = "127.0.0.1:" + std::to_string(ntohs(at.sin_port));

  SimulateProcess sim({"--door", "3", "--listen", endpoint});
  EXPECT_EQ(sim.exitStatus(), 1);
  EXPECT_EQ(sim.errors(), "solvard simulate: cannot start the line: simulator: cannot listen on " +
                              endpoint + ": bind: Address already in use\n");
  EXPECT_EQ(sim.output(), "");
  ::close(taken);
}

}  // namespace
}  // namespace solvard::tool::testing
