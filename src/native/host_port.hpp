#pragma once

#include <memory>
#include <string>

#include "serial/port_base.hpp"
#include "solvard/port.hpp"

namespace solvard::detail {

// A host's own Port as the serial layer drives a device: the line's exchanges, reply waits and
// hang-up handling run over it exactly as over a serial device or a device server.
class HostPort final : public serial::PortBase {
 public:
  HostPort(std::string name, std::shared_ptr<Port> port);
  ~HostPort() override;

 private:
  void openDevice(const std::string& path) override;
  void closeDevice() override;
  std::optional<std::string> applySettings(const serial::LineSettings& line) override;
  Received readWaiting(std::span<uint8_t> room) override;
  void writeBytes(std::span<const uint8_t> bytes) override;
  WaitEnd awaitInput(Clock::time_point deadline, std::span<uint8_t> room,
                     std::size_t& taken) override;
  void discardInput() override;
  // The host's write sends the bytes whole, so nothing waits to be sent.
  void discardOutput() override {}

  std::string name_;
  std::shared_ptr<Port> port_;
  LineSettings settings_;
  bool open_ = false;
};

}  // namespace solvard::detail
