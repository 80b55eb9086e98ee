#include <chrono>
#include <memory>
#include <string>

#include "component/prohibit.hpp"
#include "serial/host_link.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator_fixture.hpp"

namespace solvard::integration {
namespace {

using serial::Bytes;
using simulator::AccessTerminal;
using simulator::Fault;

constexpr uint8_t kMachine = 3;

class AccessIdentity : public TerminalOnLine<AccessTerminal, component::Prohibit> {
 protected:
  AccessIdentity() : TerminalOnLine(std::make_unique<AccessTerminal>(kMachine)) {}
};

TEST_F(AccessIdentity, TerminalTellsItsIdentity) {
  sim.withState([&] {
    terminal->setIdentity("1234567890");
    terminal->setIdentityFiller(0xEE);
  });
  EXPECT_EQ(object.GetID(kMachine), "1234567890");
  sim.withState([&] { terminal->setIdentityBytes({0x12, 0x0A, 0x56, 0x78, 0x90}); });
  EXPECT_EQ(object.GetID(kMachine), "1210567890");
  EXPECT_EQ(sim.frames().at(0).bytes, (Bytes{3, 0x0C}));
  EXPECT_TRUE(reported.empty());
}

TEST_F(AccessIdentity, AnotherMachinesFirstByteEndsAtOnce) {
  sim.withState([&] { terminal->setIdentity("1234567890"); });
  terminal->inject(Fault::wrongMachine(4));
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(object.GetID(kMachine), "");
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(500));
  EXPECT_TRUE(reported.empty());
}

// The one identity case in real time: the second piece never comes.
TEST_F(AccessIdentity, FirstPieceAloneWaitsThreeToFourSecondsThenReports) {
  sim.withState([&] { terminal->answerFirstPieceOnly(); });
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(object.GetID(kMachine), "");
  const auto waited = std::chrono::steady_clock::now() - began;
  EXPECT_GE(waited, std::chrono::seconds(3));
  EXPECT_LT(waited, std::chrono::milliseconds(4300));
  EXPECT_EQ(reported, std::vector<int32_t>{61207});
}

}  // namespace
}  // namespace solvard::integration
