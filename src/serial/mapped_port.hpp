#pragma once

#include <memory>

#include "serial/port_control.hpp"
#include "serial/port_devices.hpp"

namespace solvard::serial {

// The port of a host that names lines by number: the device a number maps to is known only at
// the open, and may be a local serial device or a network address (a PortDevices mapping 3 to
// "rfc2217://host:port"). Both kinds of port are kept told the settings, and the one the
// device needs is the one opened and driven until it closes.
class MappedPort final : public PortControl {
 public:
  // `devices` says what each number opens (the platform's ports when none); it outlives the port.
  MappedPort(std::unique_ptr<PortControl> local, std::unique_ptr<PortControl> network,
             const PortDevices* devices);

  bool PortOpen() const override { return active().PortOpen(); }
  void PortOpen(bool open) override;
  void CommPort(int16_t number) override;
  void Settings(const std::string& text) override;
  void InBufferSize(int16_t size) override;
  void OutBufferSize(int16_t size) override;
  void InputMode(int16_t mode) override;
  int InBufferCount() override { return active().InBufferCount(); }
  void InBufferCount(int count) override { active().InBufferCount(count); }
  void OutBufferCount(int count) override { active().OutBufferCount(count); }
  void InputLen(int length) override;
  Bytes Input() override { return active().Input(); }
  void Output(std::span<const uint8_t> bytes) override { active().Output(bytes); }
  void waitForInput(std::chrono::milliseconds limit) override { active().waitForInput(limit); }
  void waitForBytes(std::chrono::milliseconds limit, std::size_t wanted) override {
    active().waitForBytes(limit, wanted);
  }
  std::optional<OpenFailure> openFailure() const override { return active().openFailure(); }

 private:
  PortControl& active() const { return network_ ? *networkPort_ : *local_; }
  PortControl& idle() const { return network_ ? *local_ : *networkPort_; }
  // The value goes to the port in use first, so its refusal leaves the other unchanged.
  template <typename Set>
  void both(Set set) {
    set(active());
    set(idle());
  }

  const PortDevices* devices_;
  std::unique_ptr<PortControl> local_;
  std::unique_ptr<PortControl> networkPort_;
  int16_t number_ = 1;
  bool network_ = false;
};

// The platform's numbered port: a `Local` serial port and a device-server port, both opening
// what `devices` maps each number to.
template <typename Local, typename Network>
std::unique_ptr<PortControl> makeMappedPort(const PortDevices* devices) {
  auto local = std::make_unique<Local>();
  auto network = std::make_unique<Network>();
  local->numberDevicesBy(devices);
  network->numberDevicesBy(devices);
  return std::make_unique<MappedPort>(std::move(local), std::move(network), devices);
}

}  // namespace solvard::serial
