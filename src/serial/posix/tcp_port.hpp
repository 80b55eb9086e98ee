#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "serial/port_control.hpp"
#include "serial/port_values.hpp"
#include "serial/telnet_com_port.hpp"

namespace solvard::serial::posix {

// A line reached through a device server (ser2net and the like) at tcp://host:port, where the
// terminals' bytes travel as they are, or rfc2217://host:port, where they travel in Telnet and
// the host sets the device's baud rate, data bits, parity and stop bits with the
// COM-PORT-OPTION. Each open connects anew, so a command after a dropped connection connects
// again; a connection that drops during a command ends its reply wait with nothing more.
// The receive buffer, InputLen and the settings text behave as on a local port.
class TcpPort final : public PortControl {
 public:
  // A port on the network address its port number maps to.
  TcpPort();
  // A port that always connects to `address`, whatever port number it is given.
  explicit TcpPort(std::string address);
  ~TcpPort() override;
  TcpPort(const TcpPort&) = delete;
  TcpPort& operator=(const TcpPort&) = delete;

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

  // How long an open waits for the connection, and then for the device server's answers.
  static constexpr std::chrono::seconds kConnectLimit{5};
  static constexpr std::chrono::seconds kNegotiationLimit{3};

 private:
  void open();
  void close();
  // Sends the line settings and waits until the server confirmed each; the reason when it
  // did not, or set other values.
  std::optional<std::string> applyLine(std::chrono::steady_clock::time_point deadline);
  // Reads what the socket holds, up to the room in the receive buffer.
  void drain();
  // Reads once, waiting at most until `deadline`; false when the connection is gone.
  bool readUntil(std::chrono::steady_clock::time_point deadline);
  void sendAll(std::span<const uint8_t> bytes);
  void requireOpen() const;
  void requireClosed() const;
  [[noreturn]] void failOpen(OpenFailure::Kind kind, const std::string& address,
                             const std::string& reason);

  std::string address_;
  std::string openAddress_;
  bool comPort_ = false;
  std::optional<OpenFailure> openFailure_;
  int16_t portNumber_ = 1;
  LineSettings line_;
  int16_t inBufferSize_ = 1024;
  int16_t outBufferSize_ = 512;
  int inputLen_ = 0;
  int fd_ = -1;
  // The server closed the connection, or it failed: nothing more will come.
  bool hungUp_ = false;
  telnet::Session telnet_;
  Bytes buffer_;
};

}  // namespace solvard::serial::posix
