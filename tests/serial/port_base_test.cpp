// The rules every backend shares, against a scripted device: what reaches the device, what the
// host gets back, and the numbers and texts of what is refused.
#include "serial/port_base.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "automation/error.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"

namespace solvard::serial::testing {
namespace {

using Kind = OpenFailure::Kind;
using namespace std::chrono_literals;

// A device that does what the test says and tells what it was asked.
class ScriptedDevice final : public PortBase {
 public:
  using PortBase::WaitEnd;

  explicit ScriptedDevice(std::string device) : PortBase(std::move(device)) {}
  ~ScriptedDevice() override { PortOpen(false); }

  std::vector<std::string> log;
  std::optional<OpenFailure> refuseOpen;  // the failure openDevice raises
  std::set<int32_t> refusedRates;         // rates the device does not run at
  bool settingsFail = false;              // the system fails every settings request
  std::deque<uint8_t> incoming;           // what the device holds received
  bool readFails = false;                 // a read fails after handing over what it holds
  std::size_t overclaim = 0;              // a read counts this many bytes more than it gave
  WaitEnd waitEnd = WaitEnd::Over;
  Bytes waitBytes;  // what a wait takes off the line
  Bytes sent;

 private:
  void openDevice(const std::string& path) override {
    log.push_back("open " + path);
    if (refuseOpen) failOpen(refuseOpen->kind, path, refuseOpen->reason);
    if (const auto refusal = settingsRefusal()) {
      closeDevice();
      failOpen(Kind::SettingsRefused, path, *refusal);
    }
  }
  void closeDevice() override { log.push_back("close"); }
  std::optional<std::string> applySettings(const LineSettings& line) override {
    log.push_back("apply " + std::to_string(line.baudRate));
    if (settingsFail) throw port_errors::portIoFailed("settings failed");
    if (refusedRates.count(line.baudRate) != 0) return std::to_string(line.baudRate) + " refused";
    return std::nullopt;
  }
  Received readWaiting(std::span<uint8_t> room) override {
    log.push_back("read " + std::to_string(room.size()));
    Received got;
    while (got.count < room.size() && !incoming.empty()) {
      room[got.count++] = incoming.front();
      incoming.pop_front();
    }
    got.count += overclaim;
    got.failed = readFails;
    return got;
  }
  void writeBytes(std::span<const uint8_t> bytes) override {
    log.push_back("write " + std::to_string(bytes.size()));
    sent.insert(sent.end(), bytes.begin(), bytes.end());
  }
  WaitEnd awaitInput(Clock::time_point, std::span<uint8_t> room, std::size_t& taken) override {
    log.push_back("wait " + std::to_string(room.size()));
    std::copy_n(waitBytes.begin(), std::min(waitBytes.size(), room.size()), room.begin());
    taken = waitBytes.size() + overclaim;
    return waitEnd;
  }
  void discardInput() override { log.push_back("discard input"); }
  void discardOutput() override { log.push_back("discard output"); }
};

struct Refusal {
  std::string name;
  bool open;
  std::function<void(PortControl&)> call;
  int32_t number;
  std::string description;
};

// Each refused call raises its own number and text, and the device is never asked.
TEST(PortBaseTest, RefusedCallsRaiseTheirNumberAndText) {
  const std::vector<Refusal> cases{
      {"CommPort while open", true, [](PortControl& p) { p.CommPort(2); }, 8005,
       "Port already open"},
      {"CommPort 0", false, [](PortControl& p) { p.CommPort(0); }, 8002, "Invalid port number"},
      {"InBufferSize while open", true, [](PortControl& p) { p.InBufferSize(64); }, 8005,
       "Port already open"},
      {"InBufferSize 0", false, [](PortControl& p) { p.InBufferSize(0); }, 380,
       "Invalid property value"},
      {"OutBufferSize while open", true, [](PortControl& p) { p.OutBufferSize(64); }, 8005,
       "Port already open"},
      {"OutBufferSize -1", false, [](PortControl& p) { p.OutBufferSize(-1); }, 380,
       "Invalid property value"},
      {"InputMode 2", true, [](PortControl& p) { p.InputMode(2); }, 380, "Invalid property value"},
      {"InputLen -1", true, [](PortControl& p) { p.InputLen(-1); }, 380, "Invalid property value"},
      {"InBufferCount 1", true, [](PortControl& p) { p.InBufferCount(1); }, 380,
       "Invalid property value"},
      // The value is judged before the port's state.
      {"InBufferCount 1 closed", false, [](PortControl& p) { p.InBufferCount(1); }, 380,
       "Invalid property value"},
      {"OutBufferCount -1 closed", false, [](PortControl& p) { p.OutBufferCount(-1); }, 380,
       "Invalid property value"},
      {"InBufferCount 0 closed", false, [](PortControl& p) { p.InBufferCount(0); }, 8012,
       "Port not open"},
      {"OutBufferCount 0 closed", false, [](PortControl& p) { p.OutBufferCount(0); }, 8012,
       "Port not open"},
      {"read count closed", false, [](PortControl& p) { (void)p.InBufferCount(); }, 8012,
       "Port not open"},
      {"Input closed", false, [](PortControl& p) { (void)p.Input(); }, 8012, "Port not open"},
      {"Output closed", false, [](PortControl& p) { p.Output(Bytes{1}); }, 8012, "Port not open"},
      {"second open", true, [](PortControl& p) { p.PortOpen(true); }, 8005, "Port already open"},
      {"Settings text", true, [](PortControl& p) { p.Settings("9600,X,8,1"); }, 380,
       "Invalid property value"},
  };
  for (const Refusal& c : cases) {
    ScriptedDevice port("dev");
    if (c.open) port.PortOpen(true);
    const std::size_t asked = port.log.size();
    try {
      c.call(port);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      EXPECT_EQ(error.number(), c.number) << c.name;
      EXPECT_EQ(error.description(), c.description) << c.name;
    }
    EXPECT_EQ(port.log.size(), asked) << c.name;
    EXPECT_EQ(port.PortOpen(), c.open) << c.name;
  }
}

TEST(PortBaseTest, SettingsReachAnOpenDeviceAtOnceAndAClosedOneAtTheOpen) {
  ScriptedDevice port("/dev/scripted");
  port.Settings("19200,N,8,1");
  EXPECT_TRUE(port.log.empty());
  port.PortOpen(true);
  port.Settings("4800,E,7,2");
  EXPECT_EQ(port.log,
            (std::vector<std::string>{"open /dev/scripted", "apply 19200", "apply 4800"}));
}

// The device goes back to the settings it had, and keeps them for the next open.
TEST(PortBaseTest, ASettingTheOpenDeviceRefusesIsTakenBack) {
  ScriptedDevice port("/dev/scripted");
  port.Settings("19200,N,8,1");
  port.PortOpen(true);
  port.refusedRates = {28800};
  try {
    port.Settings("28800,N,8,1");
    ADD_FAILURE() << "accepted";
  } catch (const detail::Fault& fault) {
    const automation::AutomationError error = automation::asAutomationError(fault);
    EXPECT_EQ(error.number(), 380);
    EXPECT_EQ(error.description(), "Invalid property value: 28800 refused");
  }
  EXPECT_TRUE(port.PortOpen());
  port.PortOpen(false);
  port.PortOpen(true);
  EXPECT_EQ(port.log, (std::vector<std::string>{"open /dev/scripted", "apply 19200", "apply 28800",
                                                "apply 19200", "close", "open /dev/scripted",
                                                "apply 19200"}));
}

struct OpenCase {
  std::string name;
  std::function<void(ScriptedDevice&)> script;
  OpenFailure failure;
  std::vector<std::string> log;
};

// A failed open is raised as 8010 with the device and the reason, recorded for openFailure(),
// and leaves the port closed; the next open that succeeds forgets it.
TEST(PortBaseTest, AFailedOpenIsRaisedAndRecordedUntilAnOpenSucceeds) {
  const std::vector<OpenCase> cases{
      {"device refuses",
       [](ScriptedDevice& p) {
         p.refuseOpen = OpenFailure{Kind::InUse, "", "busy"};
       },
       {Kind::InUse, "/dev/scripted", "busy"},
       {"open /dev/scripted"}},
      {"rate refused",
       [](ScriptedDevice& p) { p.refusedRates = {9600}; },
       {Kind::SettingsRefused, "/dev/scripted", "9600 refused"},
       {"open /dev/scripted", "apply 9600", "close"}},
      {"settings request fails",
       [](ScriptedDevice& p) { p.settingsFail = true; },
       {Kind::SettingsRefused, "/dev/scripted", "Port read or write failed: settings failed"},
       {"open /dev/scripted", "apply 9600", "close"}},
  };
  for (const OpenCase& c : cases) {
    ScriptedDevice port("/dev/scripted");
    c.script(port);
    try {
      port.PortOpen(true);
      ADD_FAILURE() << c.name << ": opened";
    } catch (const detail::Fault& fault) {
      const automation::AutomationError error = automation::asAutomationError(fault);
      EXPECT_EQ(error.number(), 8010) << c.name;
      EXPECT_EQ(error.description(),
                "Port unavailable: " + c.failure.device + ": " + c.failure.reason)
          << c.name;
    }
    EXPECT_FALSE(port.PortOpen()) << c.name;
    const auto failure = port.openFailure();
    ASSERT_TRUE(failure.has_value()) << c.name;
    EXPECT_EQ(failure->kind, c.failure.kind) << c.name;
    EXPECT_EQ(failure->device, c.failure.device) << c.name;
    EXPECT_EQ(failure->reason, c.failure.reason) << c.name;
    EXPECT_EQ(port.log, c.log) << c.name;

    port.refuseOpen.reset();
    port.refusedRates.clear();
    port.settingsFail = false;
    port.PortOpen(true);
    EXPECT_EQ(port.openFailure(), std::nullopt) << c.name;
  }
}

TEST(PortBaseTest, AnUnmappedPortNumberOpensThePlatformsDevice) {
  ScriptedDevice port("");
  port.CommPort(3);
  port.PortOpen(true);
  EXPECT_EQ(port.log.front(), "open " + platformPortDevice(3));
}

TEST(PortBaseTest, InputTakesAtMostInputLenAndTheBufferHoldsAtMostItsSize) {
  ScriptedDevice port("dev");
  port.InBufferSize(5);
  port.PortOpen(true);
  port.incoming = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(port.InBufferCount(), 5);
  port.InputLen(2);
  EXPECT_EQ(port.Input(), (Bytes{1, 2}));
  EXPECT_EQ(port.Input(), (Bytes{3, 4}));
  port.InputLen(0);
  EXPECT_EQ(port.Input(), (Bytes{5, 6, 7}));
  EXPECT_EQ(port.Input(), Bytes{});
  // A full buffer asks the device nothing; a read asks for no more than the room left.
  EXPECT_EQ(port.log, (std::vector<std::string>{"open dev", "apply 9600", "read 5", "read 2",
                                                "read 2", "read 5"}));
}

// A device that counts more than it put in the room adds no more than the room, and nothing of
// what the memory held before.
TEST(PortBaseTest, ADeviceCountingMoreThanTheRoomAddsOnlyTheRoom) {
  ScriptedDevice port("dev");
  port.InBufferSize(3);
  port.PortOpen(true);
  port.incoming = {9};
  port.overclaim = 100;
  EXPECT_EQ(port.InBufferCount(), 3);
  EXPECT_EQ(port.Input(), (Bytes{9, 0, 0}));
}

TEST(PortBaseTest, DiscardsReachTheDeviceAndEmptyTheBuffer) {
  ScriptedDevice port("dev");
  port.PortOpen(true);
  port.incoming = {1, 2, 3};
  EXPECT_EQ(port.InBufferCount(), 3);
  port.InBufferCount(0);
  port.OutBufferCount(0);
  port.incoming = {4};
  EXPECT_EQ(port.Input(), Bytes{4});
  EXPECT_EQ(port.log, (std::vector<std::string>{"open dev", "apply 9600", "read 512",
                                                "discard input", "discard output", "read 512"}));
}

TEST(PortBaseTest, OutputSendsTheBytesUnchanged) {
  ScriptedDevice port("dev");
  port.PortOpen(true);
  port.Output(Bytes{0x00, 0x11, 0x13, 0xFF});
  EXPECT_EQ(port.sent, (Bytes{0x00, 0x11, 0x13, 0xFF}));
}

// A device that failed is asked nothing more until the port is opened again.
TEST(PortBaseTest, AFailedReadEndsReadingUntilTheNextOpen) {
  ScriptedDevice port("dev");
  port.PortOpen(true);
  port.incoming = {1, 2};
  port.readFails = true;
  EXPECT_EQ(port.Input(), (Bytes{1, 2}));
  port.incoming = {3};
  EXPECT_EQ(port.Input(), Bytes{});
  port.waitForInput(0ms);
  port.PortOpen(false);
  port.readFails = false;
  port.PortOpen(true);
  EXPECT_EQ(port.Input(), Bytes{3});
  EXPECT_EQ(port.log, (std::vector<std::string>{"open dev", "apply 9600", "read 512", "close",
                                                "open dev", "apply 9600", "read 512"}));
}

TEST(PortBaseTest, WhatAWaitTakesOffTheLineIsKept) {
  ScriptedDevice port("dev");
  port.InBufferSize(2);
  port.PortOpen(true);
  port.waitBytes = {7, 8, 9};
  port.waitForInput(0ms);
  EXPECT_EQ(port.InBufferCount(), 2);
  // A full buffer is not waited on: the device would have nowhere to put what it took.
  port.waitForInput(0ms);
  EXPECT_EQ(port.Input(), (Bytes{7, 8}));
  EXPECT_EQ(port.log, (std::vector<std::string>{"open dev", "apply 9600", "wait 2"}));
}

TEST(PortBaseTest, AWaitThatFailsEndsReadingAndAClosedPortIsNotWaitedOn) {
  ScriptedDevice port("dev");
  port.waitForInput(0ms);
  port.PortOpen(true);
  port.waitEnd = ScriptedDevice::WaitEnd::Failed;
  port.waitForInput(0ms);
  port.incoming = {1};
  EXPECT_EQ(port.Input(), Bytes{});
  port.waitForInput(0ms);
  EXPECT_EQ(port.log, (std::vector<std::string>{"open dev", "apply 9600", "wait 512"}));
}

}  // namespace
}  // namespace solvard::serial::testing
