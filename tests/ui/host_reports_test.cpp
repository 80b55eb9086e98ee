#include "ui/host_reports.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/error.hpp"
#include "ui/messages.hpp"
#include "ui/msgbox.hpp"
#include "ui/ui_fixture.hpp"

namespace solvard::ui {
namespace {

// Standard error, captured for as long as it lives.
class CapturedStandardError {
 public:
  CapturedStandardError() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~CapturedStandardError() { std::cerr.rdbuf(previous_); }
  std::string text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* previous_;
};

TEST(HostLog, WithoutASinkOfItsOwnTheHostGetsEachLineOnStandardError) {
  ScopedLogSink defaultOne(nullptr);
  CapturedStandardError captured;
  logLine("GetMacData(1): the database cannot be opened:\r\nunable to open\nfile");
  logLine("the port cannot be opened: Port unavailable: /tmp/x: not a serial device");
  EXPECT_EQ(captured.text(),
            "Solvard: GetMacData(1): the database cannot be opened: unable to open file\n"
            "Solvard: the port cannot be opened: Port unavailable: /tmp/x: not a serial device\n");
}

TEST(HostLog, ASinkThatFailsLosesItsLineNotTheCaller) {
  ScopedLogSink failing([](const std::string&) { throw std::runtime_error("disk full"); });
  EXPECT_NO_THROW(logLine("a line"));
}

// How a presenter can fail to show the message, and what the log says of it.
struct FailingPresenterCase {
  const char* name;
  std::function<void()> fail;
  std::vector<std::string> logged;
};

class MessageNotShown : public testing::UiTest,
                        public ::testing::WithParamInterface<FailingPresenterCase> {};

TEST_P(MessageNotShown, IsSkippedAndLogged) {
  const FailingPresenterCase& c = GetParam();
  std::vector<std::string> logged;
  ScopedLogSink sink([&](const std::string& line) { logged.push_back(line); });
  {
    ScopedPresenter failing([&](const MessageBoxView&) -> Choice {
      c.fail();
      return Choice::Command1;
    });
    EXPECT_NO_THROW(ReportMessage(msg::kBadEndMark));
  }
  EXPECT_EQ(logged, c.logged);
  // The box is free again for the next message.
  testing::RecordingPresenter next;
  ReportMessage(msg::kNoRecords);
  ASSERT_EQ(next.views.size(), 1u);
  EXPECT_EQ(next.views[0].number, msg::kNoRecords);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, MessageNotShown,
    ::testing::Values(
        FailingPresenterCase{"StandardException",
                             [] { throw std::runtime_error("no display"); },
                             {"message 61211 could not be shown (no display)"}},
        FailingPresenterCase{"AutomationError",
                             [] { throw automation::AutomationError(7, "Out of memory"); },
                             {"message 61211 could not be shown (error 7: Out of memory)"}},
        FailingPresenterCase{"AnythingElse",
                             [] { throw 42; },
                             {"message 61211 could not be shown (unknown failure)"}},
        // A command started from the host's loop while the box is in front of the operator.
        FailingPresenterCase{"AnotherMessageWhileShown",
                             [] {
                               ReportMessage(msg::kNoAcknowledgement);
                               throw std::runtime_error("closed");
                             },
                             {"message 61204 could not be shown (error 400: Form already "
                              "displayed; can't show modally)",
                              "message 61211 could not be shown (closed)"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::ui
