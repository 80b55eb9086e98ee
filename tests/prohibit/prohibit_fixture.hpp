#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "component/library_line.hpp"
#include "serial/host_link.hpp"
#include "serial/scripted_port.hpp"
#include "serial/settings.hpp"
#include "serial/shared_port.hpp"

namespace solvard::prohibit::testing {

using namespace std::chrono_literals;
using serial::Bytes;
using serial::ScriptedPort;

// The access-control commands on a scripted port in place of the library's port, in virtual
// time, on port 3 at the library's default settings. Messages to the operator are collected.
class ProhibitTest : public ::testing::Test {
 protected:
  explicit ProhibitTest(std::chrono::nanoseconds start = 5000s) : clock(start) {}

  void SetUp() override {
    savedHooks_ = component::libraryHooks();
    component::libraryHooks() = {.pump = {},
                                 .reporter = [this](int32_t number) { reported.push_back(number); },
                                 .clock = &clock,
                                 .slice = 5ms,
                                 .stopRequested = {}};
    auto scripted = std::make_unique<ScriptedPort>(clock);
    port = scripted.get();
    savedPort_ = component::replaceSharedPort(std::move(scripted));
    savedSettings_ = component::librarySettings();
    component::librarySettings() = {3, "9600,N,8,1", 1024, 512};
  }

  void TearDown() override {
    component::librarySettings() = savedSettings_;
    component::replaceSharedPort(std::move(savedPort_));
    component::libraryHooks() = savedHooks_;
  }

  // The terminal answers the next frame with `reply`, `after` it was written.
  void answer(Bytes reply, std::chrono::nanoseconds after = 200ms) {
    port->answerNextFrame({{after, std::move(reply)}});
  }

  // The one frame the command put on the line, as "03 11"; empty when it sent none.
  std::string sent() const {
    const auto& frames = port->framesWritten();
    EXPECT_LE(frames.size(), 1u);
    return frames.empty() ? std::string() : serial::hexBytes(frames.front());
  }

  serial::ManualClock clock;
  ScriptedPort* port = nullptr;
  std::vector<int32_t> reported;

 private:
  component::LibraryHooks savedHooks_;
  std::unique_ptr<serial::PortControl> savedPort_;
  serial::LibrarySettings savedSettings_;
};

}  // namespace solvard::prohibit::testing
