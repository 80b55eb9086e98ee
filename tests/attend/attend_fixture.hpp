#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "component/attend.hpp"
#include "component/library_line.hpp"
#include "serial/host_link.hpp"
#include "serial/scripted_port.hpp"
#include "serial/settings.hpp"
#include "serial/shared_port.hpp"

namespace solvard::attend::testing {

using namespace std::chrono_literals;
using automation::DateTime;
using automation::Variant;
using serial::Bytes;

inline constexpr std::chrono::milliseconds kSlice = 5ms;

// An `Attend` object whose commands run on a scripted port in virtual time. The object's own
// port properties differ from the library-wide settings, so the port log shows which were
// applied. Messages to the operator are collected.
class AttendTest : public ::testing::Test {
 protected:
  AttendTest() : clock(5000s) {}

  void SetUp() override {
    auto scripted = std::make_unique<serial::ScriptedPort>(clock);
    port = scripted.get();
    savedPort_ = component::replaceSharedPort(std::move(scripted));
    savedHooks_ = component::libraryHooks();
    component::libraryHooks() = {.pump = [this] { ++pumpTurns; },
                                 .reporter = [this](int32_t number) { reported.push_back(number); },
                                 .clock = &clock,
                                 .slice = kSlice,
                                 .stopRequested = {}};
    object.setCommPortID(3);
    object.setCommBautRate(19200);
    object.setCommInBufferSize(2048);
    object.setCommOutBufferSize(256);
    component::librarySettings() = {7, "4800,N,8,1", 4096, 128};
  }

  void TearDown() override {
    component::replaceSharedPort(std::move(savedPort_));
    component::libraryHooks() = savedHooks_;
  }

  // The port log of a command from its first frame on, the preparation taken off; fails the
  // test when the preparation is not `prepared`.
  std::vector<std::string> logAfter(const std::vector<std::string>& prepared) const {
    const std::vector<std::string>& log = port->log();
    const auto n = std::min(prepared.size(), log.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + n), prepared);
    return {log.begin() + n, log.end()};
  }

  serial::ManualClock clock;
  serial::ScriptedPort* port = nullptr;
  component::Attend object;
  std::vector<int32_t> reported;
  int pumpTurns = 0;

 private:
  std::unique_ptr<serial::PortControl> savedPort_;
  component::LibraryHooks savedHooks_;
};

// How every short command prepares the port: the object's own properties, binary input, no
// length limit, an open that is not tested.
inline const std::vector<std::string> kObjectPortOpened = {
    "CommPort 3",  "Settings 19200,N,8,1", "InBufferSize 2048", "OutBufferSize 256",
    "InputMode 1", "InputLen 0",           "PortOpen true"};

// How the card-number query prepares the port: the object's port number, the library-wide
// settings text and buffer sizes, then the buffers cleared.
inline const std::vector<std::string> kQueryPortOpened = {
    "CommPort 3",  "Settings 4800,N,8,1", "InBufferSize 4096", "OutBufferSize 128",
    "InputMode 1", "PortOpen true",       "InBufferCount 0",   "OutBufferCount 0"};

}  // namespace solvard::attend::testing
