#include "attend/download.hpp"
#include "component/attend_commands.hpp"
#include "download_fixture.hpp"
#include "ui/messages.hpp"

namespace solvard::attend::testing {
namespace {

using serial::ScriptedPort;

// Each wait of the download starts when the bytes before it have been read: one slice of the
// port's wait after the wait before it began, as everything before them arrives at once. The
// awaited bytes then arrive at `lastTaken` (after the request) and are taken, or one slice
// later, and the wait has given up with `message`.
struct WaitCase {
  const char* name;
  Bytes before;  // arrives with the request
  Bytes awaited;
  std::chrono::milliseconds lastTaken;
  int32_t failedResult;
  int32_t message;
};

class WaitLimits : public DownloadTest, public ::testing::WithParamInterface<WaitCase> {
 protected:
  int32_t downloadWith(std::chrono::milliseconds awaitedAt) {
    const WaitCase& c = GetParam();
    Bytes rest = c.awaited;
    // The rest of a one-record download, so that a wait that took its bytes ends in success.
    const Bytes whole = downloadReply(3, 1, {storedRecord()});
    rest.insert(rest.end(),
                whole.begin() + static_cast<std::ptrdiff_t>(c.before.size() + c.awaited.size()),
                whole.end());
    port->answerNextFrame({{0ms, c.before}, {awaitedAt, rest}});
    return object.GetMacData(3);
  }
};

// The limits are measured with the clock's fractions of a second, so they hold to the slice
// whatever the phase of the second the download starts in.
TEST_P(WaitLimits, TakeTheBytesUpToTheLimitWhateverThePhase) {
  const WaitCase& c = GetParam();
  for (auto phase : {0ms, 250ms, 499ms, 500ms, 501ms, 750ms, 999ms}) {
    SCOPED_TRACE(phase.count());
    clock.set(std::chrono::seconds(7000) + phase);
    reported.clear();
    EXPECT_EQ(downloadWith(c.lastTaken), 1);
    EXPECT_EQ(reported, std::vector<int32_t>{});

    clock.set(std::chrono::seconds(8000) + phase);
    const auto start = clock.now();
    EXPECT_EQ(downloadWith(c.lastTaken + kSlice), c.failedResult);
    EXPECT_EQ(reported, std::vector<int32_t>{c.message});
    // It gave up at the look at the clock that followed its last count.
    EXPECT_EQ(clock.now() - start, c.lastTaken);
  }
}

const Bytes kRecordAfterMachine = {0x12, 0x34, 0x56, 0x01, 0x05, 0x07, 0x08, 0x30, 0xAA};

INSTANTIATE_TEST_SUITE_P(
    Download, WaitLimits,
    ::testing::Values(
        // Up to 1 second after the request, exceeded at the next slice.
        WaitCase{"Reply", {}, {3}, 1005ms, -1, ui::msg::kWrongMachine},
        // Up to 3 seconds after the machine number was read (at 5 ms), exceeded at the next.
        WaitCase{"Count", {3}, {0, 1}, 3010ms, -1, ui::msg::kReplyIncomplete},
        // Up to 1 second after the count was read (at 10 ms).
        WaitCase{"RecordMachineNumber", {3, 0, 1}, {3}, 1015ms, 0, ui::msg::kUnexpectedReply},
        // Nine bytes within 3 seconds of the record's machine number (read at 15 ms): this wait
        // gives up as soon as 3 seconds have passed, so bytes arriving exactly then are the
        // last taken.
        WaitCase{"RecordBytes",
                 {3, 0, 1, 3},
                 kRecordAfterMachine,
                 3015ms,
                 0,
                 ui::msg::kRecordIncomplete}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::attend::testing
