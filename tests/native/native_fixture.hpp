#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "scripted_line_port.hpp"
#include "serial/clock.hpp"
#include "serial/scripted_port.hpp"
#include "solvard/solvard.hpp"

namespace solvard::native_testing {

using namespace std::chrono_literals;
using serial::Bytes;

// A test's manual clock as a line reads it.
class ManualLineClock final : public Clock {
 public:
  explicit ManualLineClock(serial::ManualClock& clock) : clock_(clock) {}
  std::chrono::nanoseconds now() override { return clock_.now(); }

 private:
  serial::ManualClock& clock_;
};

// A native line on a host's port with a scripted terminal, in virtual time: what the line sends
// and how each reply turns into a result, without a device.
class NativeLineTest : public ::testing::Test {
 protected:
  NativeLineTest() : clock(5000s), line(makeLine()) {}

  Line makeLine(LineHooks hooks = {}) {
    auto scripted = std::make_unique<ScriptedLinePort>(clock);
    port = scripted.get();
    Line made =
        Line::fromPort("/dev/scripted", std::move(scripted), LineSettings{19200}, std::move(hooks))
            .value();
    made.setClock(std::make_shared<ManualLineClock>(clock));
    return made;
  }

  void answer(Bytes reply, std::chrono::nanoseconds after = 100ms) {
    port->answerNextFrame({{after, std::move(reply)}});
  }

  // Every frame the line sent, as "03 11", one string per frame.
  std::vector<std::string> sent() const {
    std::vector<std::string> frames;
    for (const Bytes& frame : port->framesWritten()) frames.push_back(serial::hexBytes(frame));
    return frames;
  }

  static MachineNumber machine(int number) { return MachineNumber::make(number).value(); }

  serial::ManualClock clock;
  ScriptedLinePort* port = nullptr;
  Line line;
};

}  // namespace solvard::native_testing
