// The README's late-bound example, as written, against a simulated door terminal: the port
// number is set through the dispatch first, as a late-bound host must.
#include <gtest/gtest.h>

#include "component/factory.hpp"
#include "component/library_line.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::integration {
namespace {

TEST(ReadmeLateBound, SetsThePortThenTheResetDelayAndReadsBackTheValueSent) {
  simulator::Simulator sim;
  auto& door = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.start();
  component::mapPortDevice(1, sim.path());  // the README's port 1, here the simulated line

  auto obj = solvard::component::createObject("Solvard.Prohibit");
  std::vector<solvard::automation::Variant> port{int16_t{1}};
  const auto let = solvard::component::tryInvoke(*obj, "CommPortID",
                                                 solvard::component::MemberKind::PropertyLet, port);
  std::vector<solvard::automation::Variant> args{int16_t{3}, int16_t{300}};
  auto r = solvard::component::tryInvoke(*obj, "SetResetDelay",
                                         solvard::component::MemberKind::Method, args);
  component::unmapPortDevice(1);

  EXPECT_FALSE(let.error.has_value());
  ASSERT_FALSE(r.error.has_value()) << r.error->description();
  EXPECT_TRUE(automation::toBool(r.value));
  EXPECT_EQ(args[1], automation::Variant(int16_t{255}));
  EXPECT_EQ(sim.withState([&] { return door.state().resetDelay; }), 255);
}

}  // namespace
}  // namespace solvard::integration
