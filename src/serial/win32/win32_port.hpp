#pragma once

#include <optional>
#include <string>

#include "serial/port_control.hpp"
#include "serial/port_values.hpp"
#include "serial/win32/comm_config.hpp"

namespace solvard::serial::win32 {

// A comm device driven through the Win32 comm API: raw bytes, no handshaking, DTR on and RTS
// off, reads that never block into a receive buffer of `InBufferSize` bytes. Windows opens a
// comm device exclusively, so a port another program holds cannot be opened (Wine cannot tell:
// there a second open of the same port succeeds).
//
// The Windows headers stay in win32_port.cpp: the handle is kept as a pointer-sized value.
class Win32Port final : public PortControl {
 public:
  Win32Port();
  // A port that always opens `device`, whatever port number it is given.
  explicit Win32Port(std::string device);
  ~Win32Port() override;
  Win32Port(const Win32Port&) = delete;
  Win32Port& operator=(const Win32Port&) = delete;

  bool PortOpen() const override { return handle_ != nullptr; }
  void PortOpen(bool open) override;
  void CommPort(int16_t number) override;
  void Settings(const std::string& text) override;
  void InBufferSize(int16_t size) override;
  void OutBufferSize(int16_t size) override;
  void InputMode(int16_t mode) override;
  int InBufferCount() override;
  void InBufferCount(int count) override;
  void OutBufferCount(int count) override;
  void InputLen(int length) override;
  Bytes Input() override;
  void Output(std::span<const uint8_t> bytes) override;
  void waitForInput(std::chrono::milliseconds limit) override;
  std::optional<OpenFailure> openFailure() const override { return openFailure_; }

 private:
  void open();
  void close();
  // Puts the line settings on the device. Raises when the system fails the request; the
  // reason the device does not take the rate, if it does not.
  std::optional<std::string> configure(void* handle) const;
  // Gives the device's reads the timeouts `timeouts` unless they have them already.
  bool useTimeouts(const CommTimeouts& timeouts);
  void requireOpen() const;
  void requireClosed() const;
  // Moves what the device holds into the receive buffer, up to its size.
  void drain();

  [[noreturn]] void failOpen(OpenFailure::Kind kind, const std::string& device,
                             const std::string& reason);

  std::string device_;
  std::optional<OpenFailure> openFailure_;
  int16_t portNumber_ = 1;
  LineSettings line_;
  int16_t inBufferSize_ = 1024;
  int16_t outBufferSize_ = 512;
  int inputLen_ = 0;
  void* handle_ = nullptr;
  std::optional<CommTimeouts> timeouts_;
  // The device failed a read: nothing more will come until the port is opened again.
  bool hungUp_ = false;
  Bytes buffer_;
};

// The system's words for a Win32 error code, as UTF-8 without the trailing line end
// ("The system cannot find the file specified."); the number when it has none.
std::string systemMessage(unsigned long error);

}  // namespace solvard::serial::win32
