#pragma once

#include <optional>
#include <string>

#include "serial/port_control.hpp"
#include "serial/port_values.hpp"

namespace solvard::serial::posix {

// A serial device driven through termios: raw bytes, no handshaking, DTR on and RTS off,
// non-blocking reads into a receive buffer of `InBufferSize` bytes. While open it holds the
// device exclusively (TIOCEXCL against other users, a lock against other opens of ours, which
// also holds for root), so a port in use elsewhere cannot be opened.
class PosixPort final : public PortControl {
 public:
  PosixPort();
  // A port that always opens `device`, whatever port number it is given.
  explicit PosixPort(std::string device);
  ~PosixPort() override;
  PosixPort(const PosixPort&) = delete;
  PosixPort& operator=(const PosixPort&) = delete;

  bool PortOpen() const override { return fd_ >= 0; }
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
  std::optional<std::string> configure(int fd) const;
  void requireOpen() const;
  void requireClosed() const;
  // Moves what the device holds into the receive buffer, up to its size.
  void drain();

  // Raises the port's refusal after noting its kind and reason for openFailure().
  [[noreturn]] void failOpen(OpenFailure::Kind kind, const std::string& path,
                             const std::string& reason);

  std::string device_;
  std::optional<OpenFailure> openFailure_;
  int16_t portNumber_ = 1;
  LineSettings line_;
  int16_t inBufferSize_ = 1024;
  int16_t outBufferSize_ = 512;
  int inputLen_ = 0;
  int fd_ = -1;
  // The device hung up (a pseudo-terminal whose other side closed): nothing more will come.
  bool hungUp_ = false;
  Bytes buffer_;
};

}  // namespace solvard::serial::posix
