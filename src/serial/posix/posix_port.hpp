#pragma once

#include <optional>
#include <string>
#include <utility>

#include "serial/port_base.hpp"

namespace solvard::serial::posix {

// A serial device driven through termios: raw bytes, no handshaking, DTR on and RTS off,
// non-blocking reads. While open it holds the device exclusively (TIOCEXCL against other
// users, a lock against other opens of ours, which also holds for root), so a port in use
// elsewhere cannot be opened.
class PosixPort final : public PortBase {
 public:
  PosixPort() = default;
  // A port that always opens `device`, whatever port number it is given.
  explicit PosixPort(std::string device) : PortBase(std::move(device)) {}
  ~PosixPort() override;

 private:
  void openDevice(const std::string& path) override;
  void closeDevice() override;
  std::optional<std::string> applySettings(const LineSettings& line) override;
  Received readWaiting(std::span<uint8_t> room) override;
  void writeBytes(std::span<const uint8_t> bytes) override;
  WaitEnd awaitInput(Clock::time_point deadline, std::span<uint8_t> room,
                     std::size_t& taken) override;
  void discardInput() override;
  void discardOutput() override;
  void checkSettings(const LineSettings& line) const override;
  void expectBytes(std::size_t wanted) override;

  int fd_ = -1;
  // The device's VMIN: how many bytes must be in before poll() reports input (0 counts as 1).
  std::size_t reportAt_ = 0;
};

}  // namespace solvard::serial::posix
