#pragma once

#include <optional>
#include <string>
#include <utility>

#include "serial/port_base.hpp"
#include "serial/win32/comm_config.hpp"

namespace solvard::serial::win32 {

// A comm device driven through the Win32 comm API: raw bytes, no handshaking, DTR on and RTS
// off, reads that never block. Windows opens a comm device exclusively, so a port another
// program holds cannot be opened (Wine cannot tell: there a second open of the same port
// succeeds).
//
// The Windows headers stay in win32_port.cpp: the handle is kept as a pointer-sized value.
class Win32Port final : public PortBase {
 public:
  Win32Port() = default;
  // A port that always opens `device`, whatever port number it is given.
  explicit Win32Port(std::string device) : PortBase(std::move(device)) {}
  ~Win32Port() override;

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
  // Gives the device's reads the timeouts `timeouts` unless they have them already.
  bool useTimeouts(const CommTimeouts& timeouts);

  void* handle_ = nullptr;
  std::optional<CommTimeouts> timeouts_;
};

// The system's words for a Win32 error code, as UTF-8 without the trailing line end
// ("The system cannot find the file specified."); the number when it has none.
std::string systemMessage(unsigned long error);

}  // namespace solvard::serial::win32
