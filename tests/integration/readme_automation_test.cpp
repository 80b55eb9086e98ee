// The README's automation-class example, as written, against a simulated door terminal: port 1
// is the simulated line here, the README's /dev/ttyS0 on a real installation.
#include <gtest/gtest.h>

#include "component/library_line.hpp"
#include "component/prohibit.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::integration {
namespace {

TEST(ReadmeAutomationClass, OpensDoorThreeThroughTheLibrarysOwnLine) {
  simulator::Simulator sim;
  auto& terminal = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.start();
  component::mapPortDevice(1, sim.path());

  solvard::component::Prohibit door;  // resets the library-wide port settings
  door.setCommPortID(1);
  door.setCommBautRate(9600);
  const bool opened = door.OpenLock(3);  // one exchange with terminal 3
  component::unmapPortDevice(1);

  EXPECT_TRUE(opened);
  EXPECT_EQ(sim.withState([&] { return terminal.state().lockOpened; }), 1);
}

}  // namespace
}  // namespace solvard::integration
