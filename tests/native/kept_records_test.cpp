#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "native_fixture.hpp"

namespace solvard::native_testing {
namespace {

DoorTerminal door(Line& line) { return DoorTerminal(line, MachineNumber::make(3).value()); }

const Bytes kTaken{0x00, 0x00, 0x01, 0x23, 0x45, 0x01, 0x06, 0x29, 0x08, 0x05};
const Bytes kRefused{0x98, 0x76, 0x54, 0x32, 0x10, 0x01, 0x06, 0x30, 0x17, 0x45};

// A record the host refuses goes into the store the host gave the line, not the library's, and
// a later line given the same store (the next process, say) hands it over before its first
// prompt tells the door it is stored.
TEST_F(NativeLineTest, ARefusedRecordIsKeptInTheHostsStoreAndHandedOverFirstByTheNextLine) {
  const std::shared_ptr<KeptRecords> store = keptInMemory();
  line.setKeptRecords(store);
  port->answerNextFrame({{100ms, {3, 1, 1}}, {150ms, kTaken}});
  port->answerNextFrame({{100ms, {3, 1, 1}}, {150ms, kRefused}});
  std::string refusedOccurrence;
  const auto first = door(line).download([&](const AccessRecord& r) {
    if (r.card != "9876543210") return true;
    refusedOccurrence = r.occurrence;
    return false;
  });
  ASSERT_FALSE(first);
  EXPECT_EQ(first.error().code(), Errc::sink_refused);
  const std::vector<KeptRecord> kept = store->recordsOf("/dev/scripted", 3);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0], (KeptRecord{"/dev/scripted", 3, kRefused, refusedOccurrence, {}}));
  EXPECT_EQ(refusedOccurrence.size(), 16u);
  EXPECT_TRUE(store->recordsOf("/dev/scripted", 4).empty());

  Line next = makeLine();
  next.setKeptRecords(store);
  port->answerNextFrame({{100ms, {3, 1, 0}}});
  std::vector<std::string> handed;
  const auto second = door(next).download([&](const AccessRecord& r) {
    handed.push_back(r.card + " " + r.occurrence + (r.keptEarlier ? " kept" : ""));
    return true;
  });
  ASSERT_TRUE(second) << second.error().message();
  EXPECT_EQ(second->pendingWritten, 1);
  EXPECT_EQ(handed, std::vector<std::string>{"9876543210 " + refusedOccurrence + " kept"});
  EXPECT_EQ(sent(), std::vector<std::string>{"03 01"});
  EXPECT_TRUE(store->recordsOf("/dev/scripted", 3).empty());
}

// A host's store that cannot do its part: the door is never prompted, since a record it then
// sent could be neither kept nor found again, and the error carries the store's own words.
class FailingStore final : public KeptRecords {
 public:
  std::string notReady;
  std::string unreadable;
  std::vector<KeptRecord> answer;

  bool ready(std::string& problem) override {
    problem = notReady;
    return notReady.empty();
  }
  using KeptRecords::recordsOf;
  bool recordsOf(const std::string&, int16_t, std::vector<KeptRecord>& found,
                 std::string& problem) override {
    found = answer;
    problem = unreadable;
    return unreadable.empty();
  }
  bool keep(const KeptRecord&, std::string&) override { return true; }
  bool forget(const KeptRecord&, std::string&) override { return true; }
};

struct FailingStoreCase {
  const char* name;
  std::function<void(FailingStore&)> fault;
  std::string message;
};

class KeptStoreFault : public NativeLineTest,
                       public ::testing::WithParamInterface<FailingStoreCase> {};

TEST_P(KeptStoreFault, NothingIsSentAndTheErrorSaysWhy) {
  const FailingStoreCase& c = GetParam();
  auto store = std::make_shared<FailingStore>();
  c.fault(*store);
  line.setKeptRecords(store);
  int handed = 0;
  const auto got = door(line).download([&](const AccessRecord&) { return ++handed > 0; });
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().code(), Errc::record_pending);
  EXPECT_EQ(got.error().message(), c.message);
  EXPECT_EQ(handed, 0);
  EXPECT_TRUE(sent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Native, KeptStoreFault,
    ::testing::Values(
        FailingStoreCase{"NotReady", [](FailingStore& s) { s.notReady = "the disk is full"; },
                         "a record kept from an earlier download cannot be written: "
                         "GetRegisterData, terminal 3: records cannot be kept: the disk is full; "
                         "nothing was sent"},
        FailingStoreCase{"Unreadable",
                         [](FailingStore& s) { s.unreadable = "line 2 of the file is torn"; },
                         "a record kept from an earlier download cannot be written: "
                         "GetRegisterData, terminal 3: the records kept from earlier downloads "
                         "cannot be read, so the terminal was not prompted: line 2 of the file "
                         "is torn"},
        FailingStoreCase{"AnotherDoorsRecord",
                         [](FailingStore& s) {
                           s.answer = {{"/dev/scripted", 4, kRefused, "00000000000000a1", {}}};
                         },
                         "a record kept from an earlier download cannot be written: "
                         "GetRegisterData, terminal 3: the records kept from earlier downloads "
                         "cannot be read, so the terminal was not prompted: the kept-records "
                         "store answered with a record of terminal 4 on /dev/scripted when asked "
                         "for 3 on /dev/scripted"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::native_testing
