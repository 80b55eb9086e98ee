#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "serial/port_control.hpp"
#include "serial/port_values.hpp"

// The Telnet side of a network line whose device server takes the COM-PORT-OPTION (RFC 2217,
// over RFC 854): the bytes the host sends to set the device's line, and the reading of what the
// server sends back, with the terminals' bytes kept apart from the negotiation. Pure byte work,
// the same on every platform; the socket belongs to the platform's port.
namespace solvard::serial::telnet {

inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;

inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kEcho = 1;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPort = 44;

// The client's COM-PORT-OPTION commands; the server answers each with its code plus 100.
enum class ComCommand : uint8_t {
  SetBaudRate = 1,
  SetDataSize = 2,
  SetParity = 3,
  SetStopSize = 4,
  SetControl = 5,
  PurgeData = 12,
};
inline constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values the host uses: no flow control, DTR on, RTS off, as on a local port.
inline constexpr uint8_t kControlNoFlow = 1;
inline constexpr uint8_t kControlDtrOn = 8;
inline constexpr uint8_t kControlRtsOff = 12;

// PURGE-DATA: which of the device server's buffers it discards.
enum class Purge : uint8_t { Receive = 1, Transmit = 2, Both = 3 };

// A subnegotiation longer than this is no COM-PORT-OPTION reply (the longest, a signature, is
// text the host does not need): it is refused rather than buffered without end.
inline constexpr std::size_t kMaxSubnegotiation = 64;

// The terminals' bytes with every 0xFF doubled, so the server does not read them as commands.
Bytes escapeData(std::span<const uint8_t> data);

Bytes negotiation(uint8_t verb, uint8_t option);
// IAC SB COM-PORT-OPTION command value IAC SE, the value escaped.
Bytes comPortCommand(ComCommand command, std::span<const uint8_t> value);
Bytes setBaudRate(uint32_t baud);
Bytes setDataSize(int bits);
Bytes setParity(Parity parity);
Bytes setStopSize(int bits);
Bytes setControl(uint8_t value);
Bytes purgeData(Purge which);

// The line settings as SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE, in that order.
Bytes lineSettings(const LineSettings& line);

// What the server last confirmed of the device's line; a value stays empty until its reply came.
struct ConfirmedLine {
  std::optional<uint32_t> baudRate;
  std::optional<int> dataBits;
  std::optional<uint8_t> parity;  // the RFC 2217 code: 1 none, 2 odd, 3 even, 4 mark, 5 space
  std::optional<int> stopBits;    // the RFC 2217 code: 1 one, 2 two, 3 one and a half
};

uint8_t parityCode(Parity parity);

// One Telnet connection as the host's end of it: takes apart what the server sends, answers
// its option requests (agreeing to binary transmission, suppress-go-ahead and COM-PORT-OPTION,
// refusing the rest with DONT or WONT, never repeating an answer to one already given), and
// records the server's COM-PORT-OPTION replies. Negotiation bytes never reach the data.
class Session {
 public:
  // What the host offers as the connection opens: WILL COM-PORT-OPTION, WILL and DO BINARY,
  // DO SUPPRESS-GO-AHEAD.
  Bytes opening();

  // Takes the server's bytes: the terminals' bytes are appended to `data`, the answers owed to
  // the server to `reply`. Bytes may be split anywhere across calls.
  void receive(std::span<const uint8_t> bytes, Bytes& data, Bytes& reply);

  // The terminals' bytes as they go to the server: escaped, and CR followed by NUL while the
  // server has not agreed to binary transmission.
  Bytes send(std::span<const uint8_t> data) const;

  // Whether the server agreed to COM-PORT-OPTION (DO), refused it (DONT), or not yet said.
  std::optional<bool> comPortAgreed() const { return comPort_; }
  const ConfirmedLine& confirmed() const { return confirmed_; }
  // Forgets the confirmed line, before settings are sent again.
  void clearConfirmed() { confirmed_ = {}; }
  // Subnegotiations refused as too long or malformed, for the port's diagnostics.
  int refused() const { return refused_; }

 private:
  enum class State { Data, Iac, Verb, Sb, SbIac, SbSkip, SbSkipIac, AfterCr };
  struct Option {
    bool enabled = false;
    bool pending = false;
  };

  void negotiate(uint8_t verb, uint8_t option, Bytes& reply);
  void subnegotiation(Bytes& reply);
  void comPortReply(uint8_t code, std::span<const uint8_t> value);

  State state_ = State::Data;
  uint8_t verb_ = 0;
  Bytes sb_;
  Option us_[256];    // options the host performs (WILL/WONT)
  Option them_[256];  // options the server performs (DO/DONT)
  std::optional<bool> comPort_;
  ConfirmedLine confirmed_;
  int refused_ = 0;
};

}  // namespace solvard::serial::telnet
