#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "serial/network_socket.hpp"
#include "serial/port_base.hpp"
#include "serial/telnet_com_port.hpp"

namespace solvard::serial {

// A line reached through a device server (ser2net and the like) at tcp://host:port, where the
// terminals' bytes travel as they are, or rfc2217://host:port, where they travel in Telnet and
// the host sets the device's baud rate, data bits, parity and stop bits with the
// COM-PORT-OPTION. Each open connects anew, so a command after a dropped connection connects
// again; a connection that drops during a command ends its reply wait with nothing more. The
// connection itself goes through the platform's sockets (NetworkSocket).
class TcpPort final : public PortBase {
 public:
  // A port on the network address its port number maps to.
  TcpPort() : socket_(makeNetworkSocket()) {}
  // A port that always connects to `address`, whatever port number it is given.
  explicit TcpPort(std::string address)
      : PortBase(std::move(address)), socket_(makeNetworkSocket()) {}
  // The same over a connection of the caller's (a scripted device server in tests).
  TcpPort(std::string address, std::unique_ptr<NetworkSocket> socket)
      : PortBase(std::move(address)), socket_(std::move(socket)) {}
  ~TcpPort() override;

  // How long an open waits for the connection, and then for the device server's answers.
  static constexpr std::chrono::seconds kConnectLimit{5};
  static constexpr std::chrono::seconds kNegotiationLimit{3};

 private:
  void openDevice(const std::string& address) override;
  void closeDevice() override;
  // Over raw TCP the device server's own configuration sets the line: nothing is sent. With
  // the COM-PORT-OPTION the settings are sent and each is waited for until the server
  // confirmed it; the reason when it did not, or set other values.
  std::optional<std::string> applySettings(const LineSettings& line) override;
  Received readWaiting(std::span<uint8_t> room) override;
  void writeBytes(std::span<const uint8_t> bytes) override;
  WaitEnd awaitInput(Clock::time_point deadline, std::span<uint8_t> room,
                     std::size_t& taken) override;
  void discardInput() override;
  void discardOutput() override;

  // Agrees on the COM-PORT-OPTION with the device server; the reason when it would not.
  std::optional<std::string> agreeComPort();
  // Reads once, waiting at most until `deadline`, keeping the terminals' bytes among the
  // server's answers for the receive buffer; false when nothing more can come or be kept.
  bool negotiateUntil(Clock::time_point deadline);
  // Takes what the socket holds without waiting, until `pending_` holds `capacity` bytes:
  // the terminals' bytes are kept, the server's negotiation answered.
  void pull(std::size_t capacity);
  void sendAll(std::span<const uint8_t> bytes);

  // The address of the open connection, for the texts of its failures.
  std::string address_;
  bool comPort_ = false;
  std::unique_ptr<NetworkSocket> socket_;
  // The server closed the connection, or it failed: nothing more will come.
  bool dropped_ = false;
  telnet::Session telnet_;
  // The terminals' bytes taken off the connection and not yet handed to the receive buffer:
  // those that came among the server's answers while the line was set, or with an answer
  // that could not be sent. Never more than the receive buffer holds.
  Bytes pending_;
};

}  // namespace solvard::serial
