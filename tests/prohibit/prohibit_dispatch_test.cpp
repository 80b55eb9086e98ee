#include <string>
#include <vector>

#include "component/prohibit.hpp"
#include "prohibit_fixture.hpp"

namespace solvard::prohibit::testing {
namespace {

using automation::Variant;
using component::MemberKind;

// A late-bound host reaches the commands through `Prohibit` and sees its in/out arguments
// adjusted in its own variables.
class ProhibitDispatch : public ProhibitTest {
 protected:
  void SetUp() override {
    ProhibitTest::SetUp();
    prohibit.setCommPortID(3);
  }

  Variant call(const char* name, std::vector<Variant>& args) {
    return component::invoke(prohibit, name, MemberKind::Method, args);
  }

  component::Prohibit prohibit;
};

TEST_F(ProhibitDispatch, WritesAdjustedArgumentsBackToTheHost) {
  answer({3, 2});
  std::vector<Variant> delay{Variant(int16_t{3}), Variant(int16_t{-7})};
  EXPECT_EQ(call("SetResetDelay", delay), Variant(true));
  EXPECT_EQ(delay[1], Variant(int16_t{5}));

  answer({3, 2});
  std::vector<Variant> entry{Variant(int16_t{3}),   Variant("12345"),   Variant("2001-06-29"),
                             Variant("2002-12-31"), Variant("08:30"),   Variant("17:45"),
                             Variant(int16_t{1}),   Variant(int16_t{5})};
  EXPECT_EQ(call("SetOpenList", entry), Variant(true));
  EXPECT_EQ(entry[1], Variant("0000012345"));

  std::vector<Variant> state{Variant(int16_t{3})};
  EXPECT_EQ(call("GetLockState", state), Variant(int32_t{0}));

  EXPECT_EQ(serial::hexBytes(port->framesWritten().at(0)), "03 02 05");
  EXPECT_EQ(serial::hexBytes(port->framesWritten().at(2)), "03 10");
}

}  // namespace
}  // namespace solvard::prohibit::testing
