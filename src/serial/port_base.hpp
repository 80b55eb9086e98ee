#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "serial/port_control.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_values.hpp"

namespace solvard::serial {

// What every serial backend does alike, so that a host sees the same rules, numbers and texts
// whichever system drives the device: the property checks, settings put on an open device at
// once and taken back when it refuses them, the receive buffer of `InBufferSize` bytes that
// `Input`, `InputLen` and `InBufferCount` work on, and the record of why the last open failed.
// A backend supplies only the operations on its device, below; it never touches the buffer
// itself, so a device can put no more into it than the room it is given.
class PortBase : public PortControl {
 public:
  bool PortOpen() const final { return open_; }
  void PortOpen(bool open) final;
  void CommPort(int16_t number) final;
  void Settings(const std::string& text) final;
  void InBufferSize(int16_t size) final;
  void OutBufferSize(int16_t size) final;
  void InputMode(int16_t mode) final;
  int InBufferCount() final;
  void InBufferCount(int count) final;
  void OutBufferCount(int count) final;
  void InputLen(int length) final;
  Bytes Input() final;
  void Output(std::span<const uint8_t> bytes) final;
  void waitForInput(std::chrono::milliseconds limit) final { waitForBytes(limit, 1); }
  void waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) final;
  std::optional<OpenFailure> openFailure() const final { return openFailure_; }

  // What a port number opens (the platform's ports when none); `devices` outlives the port.
  void numberDevicesBy(const PortDevices* devices) { devices_ = devices; }

 protected:
  using Clock = std::chrono::steady_clock;

  // What a read of the device gave.
  struct Received {
    std::size_t count = 0;  // bytes put at the start of the room
    bool failed = false;    // the device failed or hung up: nothing more will come
  };
  // How a wait for input on the device ended.
  enum class WaitEnd {
    Over,    // input came (or may have), or the device waited until the deadline
    Quiet,   // nothing came and the device stopped waiting early: the rest is slept
    Failed,  // the device failed or hung up: the rest is slept, and reads stop
  };

  PortBase() = default;
  // A port that always opens `device`, whatever port number it is given.
  explicit PortBase(std::string device);
  PortBase(const PortBase&) = delete;
  PortBase& operator=(const PortBase&) = delete;

  // Takes the device at `path` and makes it ready, settings included (see settingsRefusal);
  // raises through failOpen, the device let go, when it cannot.
  virtual void openDevice(const std::string& path) = 0;
  // Lets the open device go. Never raises.
  virtual void closeDevice() = 0;
  // Puts `line` on the open device. Raises when the system fails the request; the reason the
  // device does not take the rate, if it does not.
  virtual std::optional<std::string> applySettings(const LineSettings& line) = 0;
  // Reads what the device holds, at most `room.size()` bytes, without waiting.
  virtual Received readWaiting(std::span<uint8_t> room) = 0;
  // Sends the bytes whole, or raises.
  virtual void writeBytes(std::span<const uint8_t> bytes) = 0;
  // Waits until input comes or `deadline` passes. A device that must read to see input puts
  // what it read into `room` and counts it in `taken`.
  virtual WaitEnd awaitInput(Clock::time_point deadline, std::span<uint8_t> room,
                             std::size_t& taken) = 0;
  // Before awaitInput: the wait is for `wanted` more bytes (at least 1). A device that can be
  // told to report input only once that many are in does so; the others wake at any input.
  virtual void expectBytes(std::size_t wanted) { static_cast<void>(wanted); }
  // Drops the bytes the device holds received, or queued for sending (which raises when it
  // fails).
  virtual void discardInput() = 0;
  virtual void discardOutput() = 0;
  // Refuses, by raising, line settings this device can never take, whether open or not.
  virtual void checkSettings(const LineSettings& line) const;

  // For openDevice: the port's settings put on the device, a failure to do so as the refusal.
  std::optional<std::string> settingsRefusal();
  // For openDevice: raises the port's refusal after noting its kind and reason.
  [[noreturn]] void failOpen(OpenFailure::Kind kind, const std::string& device,
                             const std::string& reason);

  // The limit of the wait awaitInput serves, as the caller gave it: a port that keeps its own
  // clock (a host's, maybe a test's) waits exactly that long on it.
  std::chrono::milliseconds waitLimit() const { return waitLimit_; }
  int16_t inBufferSize() const { return inBufferSize_; }
  int16_t outBufferSize() const { return outBufferSize_; }

 private:
  void requireOpen() const;
  void requireClosed() const;
  // Moves what the device holds into the receive buffer, up to its size.
  void drain();
  // Appends the first `count` bytes of `room` to the buffer, never more than the room held.
  void keep(std::span<const uint8_t> room, std::size_t count);

  std::string device_;
  const PortDevices* devices_ = nullptr;
  std::optional<OpenFailure> openFailure_;
  int16_t portNumber_ = 1;
  LineSettings line_;
  int16_t inBufferSize_ = 1024;
  int16_t outBufferSize_ = 512;
  int inputLen_ = 0;
  bool open_ = false;
  // The device failed or hung up: nothing more will come until the port is opened again.
  bool hungUp_ = false;
  Bytes buffer_;
  std::chrono::milliseconds waitLimit_{0};
};

}  // namespace solvard::serial
