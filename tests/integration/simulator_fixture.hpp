#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "component/library_line.hpp"
#include "serial/host_link.hpp"
#include "serial/link.hpp"
#include "serial/shared_port.hpp"
#include "simulator/simulator.hpp"
#include "ui/notice_messages.hpp"

namespace solvard::integration {

using namespace std::chrono_literals;

inline constexpr int16_t kPortNumber = 9;

// A simulator on a fresh pseudo-terminal, mapped to port 9, and the library's port driving it
// in real time.
class SimulatorTest : public ::testing::Test {
 protected:
  explicit SimulatorTest(simulator::SimulatorOptions options = {}) : sim(std::move(options)) {}

  void SetUp() override {
    sim.start();
    component::mapPortDevice(kPortNumber, sim.path());
  }
  void TearDown() override { component::unmapPortDevice(kPortNumber); }

  serial::Link makeLink(serial::PortControl& on) {
    return serial::Link(
        serial::LinkServices{on,
                             serial::steadyClock(),
                             {},
                             [this](serial::Notice n) { reported.push_back(ui::messageNumber(n)); },
                             5ms});
  }
  serial::Link makeLink() { return makeLink(*port); }

  simulator::Simulator sim;
  std::unique_ptr<serial::PortControl> port =
      serial::makePlatformPort(&component::libraryPortDevices());
  std::vector<int32_t> reported;
  const serial::PortSetup setup{kPortNumber, "9600,N,8,1", 1024, 512};
};

// A terminal of type `T` on the simulated line, driven through a host object of type `Object` on
// the library's own port in real time; the messages the library shows are recorded in `reported`.
template <typename T, typename Object>
class TerminalOnLine : public SimulatorTest {
 protected:
  explicit TerminalOnLine(std::unique_ptr<T> terminal) : pending_(std::move(terminal)) {}

  void SetUp() override {
    SimulatorTest::SetUp();
    terminal = &sim.add(std::move(pending_));
    savedHooks_ = component::libraryHooks();
    component::libraryHooks().reporter = [this](int32_t n) { reported.push_back(n); };
    object.setCommPortID(kPortNumber);
  }
  void TearDown() override {
    component::libraryHooks() = savedHooks_;
    SimulatorTest::TearDown();
  }

  typename T::State terminalState() {
    return sim.withState([&] { return terminal->state(); });
  }
  std::vector<serial::Bytes> framesSeen() {
    std::vector<serial::Bytes> frames;
    for (const auto& frame : sim.frames()) frames.push_back(frame.bytes);
    return frames;
  }

  T* terminal = nullptr;
  Object object;

 private:
  std::unique_ptr<T> pending_;
  component::LibraryHooks savedHooks_;
};

}  // namespace solvard::integration
