#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "serial/line_state.hpp"
#include "serial/link.hpp"
#include "serial/scripted_port.hpp"
#include "ui/notice_messages.hpp"

namespace solvard::serial::testing {

using namespace std::chrono_literals;

inline constexpr std::chrono::milliseconds kSlice = 5ms;

// Links on one line, on a scripted port in virtual time; the notices are collected as the
// operator's message numbers.
class LinkTest : public ::testing::Test {
 protected:
  explicit LinkTest(std::chrono::nanoseconds start = 5000s) : clock(start) {}

  Link makeLink() {
    return Link(LinkServices{
        port, clock, [this] { pumpTurn(); },
        [this](Notice notice) { reported.push_back(ui::messageNumber(notice)); }, kSlice, &line});
  }

  // What the host's message loop does on each turn.
  virtual void pumpTurn() { ++pumpTurns; }

  ManualClock clock;
  LineState line;
  ScriptedPort port{clock};
  std::vector<int32_t> reported;
  int pumpTurns = 0;
  const PortSetup setup{3, "9600,N,8,1", 1024, 512};
};

// The log lines of the port setup and open that every exchange on `setup` begins with.
inline std::vector<std::string> openLines() {
  return {"CommPort 3",        "Settings 9600,N,8,1", "InBufferSize 1024",
          "OutBufferSize 512", "InputMode 1",         "PortOpen true"};
}

}  // namespace solvard::serial::testing
