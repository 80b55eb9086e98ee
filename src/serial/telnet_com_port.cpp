#include "serial/telnet_com_port.hpp"

namespace solvard::serial::telnet {
namespace {

constexpr uint8_t kCr = 0x0D;

// The options the host performs when asked, and those it lets the server perform. Echo is
// refused: a server echoing the host's frames would put them among the terminals' replies.
bool hostPerforms(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool serverMayPerform(uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

void append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

}  // namespace

Bytes escapeData(std::span<const uint8_t> data) {
  Bytes out;
  out.reserve(data.size());
  for (const uint8_t byte : data) {
    out.push_back(byte);
    if (byte == kIac) out.push_back(kIac);
  }
  return out;
}

Bytes negotiation(uint8_t verb, uint8_t option) { return {kIac, verb, option}; }

Bytes comPortCommand(ComCommand command, std::span<const uint8_t> value) {
  Bytes out{kIac, kSb, kComPort, static_cast<uint8_t>(command)};
  append(out, escapeData(value));
  out.push_back(kIac);
  out.push_back(kSe);
  return out;
}

Bytes setBaudRate(uint32_t baud) {
  const uint8_t value[4] = {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                            static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
  return comPortCommand(ComCommand::SetBaudRate, value);
}

Bytes setDataSize(int bits) {
  const uint8_t value[1] = {static_cast<uint8_t>(bits)};
  return comPortCommand(ComCommand::SetDataSize, value);
}

uint8_t parityCode(Parity parity) {
  switch (parity) {
    case Parity::None: return 1;
    case Parity::Odd: return 2;
    case Parity::Even: return 3;
    case Parity::Mark: return 4;
    case Parity::Space: return 5;
  }
  return 1;
}

Bytes setParity(Parity parity) {
  const uint8_t value[1] = {parityCode(parity)};
  return comPortCommand(ComCommand::SetParity, value);
}

Bytes setStopSize(int bits) {
  const uint8_t value[1] = {static_cast<uint8_t>(bits == 2 ? 2 : 1)};
  return comPortCommand(ComCommand::SetStopSize, value);
}

Bytes setControl(uint8_t value) {
  const uint8_t bytes[1] = {value};
  return comPortCommand(ComCommand::SetControl, bytes);
}

Bytes purgeData(Purge which) {
  const uint8_t value[1] = {static_cast<uint8_t>(which)};
  return comPortCommand(ComCommand::PurgeData, value);
}

Bytes lineSettings(const LineSettings& line) {
  Bytes out = setBaudRate(static_cast<uint32_t>(line.baudRate));
  append(out, setDataSize(line.dataBits));
  append(out, setParity(line.parity));
  append(out, setStopSize(line.stopBits));
  return out;
}

Bytes Session::opening() {
  us_[kComPort].pending = true;
  us_[kBinary].pending = true;
  them_[kBinary].pending = true;
  them_[kSuppressGoAhead].pending = true;
  Bytes out = negotiation(kWill, kComPort);
  append(out, negotiation(kWill, kBinary));
  append(out, negotiation(kDo, kBinary));
  append(out, negotiation(kDo, kSuppressGoAhead));
  return out;
}

Bytes Session::send(std::span<const uint8_t> data) const {
  const bool binary = us_[kBinary].enabled;
  Bytes out;
  out.reserve(data.size() + 4);
  for (const uint8_t byte : data) {
    out.push_back(byte);
    if (byte == kIac) out.push_back(kIac);
    if (byte == kCr && !binary) out.push_back(0);
  }
  return out;
}

void Session::receive(std::span<const uint8_t> bytes, Bytes& data, Bytes& reply) {
  for (const uint8_t byte : bytes) {
    // A state may hand the byte on to another (an IAC ending a malformed subnegotiation starts
    // a command of its own), so each byte is looked at until one state takes it.
    bool again = true;
    while (again) {
      again = false;
      switch (state_) {
        case State::AfterCr:
          state_ = State::Data;
          // In the server's non-binary transmission CR NUL is a CR alone.
          if (byte == 0) break;
          again = true;
          break;
        case State::Data:
          if (byte == kIac) {
            state_ = State::Iac;
          } else {
            data.push_back(byte);
            if (byte == kCr && !them_[kBinary].enabled) state_ = State::AfterCr;
          }
          break;
        case State::Iac:
          if (byte == kIac) {
            data.push_back(kIac);
            state_ = State::Data;
          } else if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
            verb_ = byte;
            state_ = State::Verb;
          } else if (byte == kSb) {
            sb_.clear();
            state_ = State::Sb;
          } else {
            // NOP, go-ahead, data mark and the other one-byte commands carry nothing here.
            state_ = State::Data;
          }
          break;
        case State::Verb:
          negotiate(verb_, byte, reply);
          state_ = State::Data;
          break;
        case State::Sb:
        case State::SbIac: {
          const bool escaped = state_ == State::SbIac;
          if (!escaped && byte == kIac) {
            state_ = State::SbIac;
            break;
          }
          if (escaped && byte == kSe) {
            subnegotiation(reply);
            state_ = State::Data;
            break;
          }
          if (escaped && byte != kIac) {
            // IAC and a command inside a subnegotiation: it was cut short. It is dropped and
            // the command is read as such.
            ++refused_;
            state_ = State::Iac;
            again = true;
            break;
          }
          // The option byte and the payload; one byte more than the limit marks it oversized.
          if (sb_.size() > kMaxSubnegotiation) {
            ++refused_;
            state_ = State::SbSkip;
            break;
          }
          sb_.push_back(byte);
          state_ = State::Sb;
          break;
        }
        case State::SbSkip:
          if (byte == kIac) state_ = State::SbSkipIac;
          break;
        case State::SbSkipIac:
          if (byte == kSe) {
            state_ = State::Data;
          } else if (byte == kIac) {
            state_ = State::SbSkip;
          } else {
            state_ = State::Iac;
            again = true;
          }
          break;
      }
    }
  }
}

void Session::negotiate(uint8_t verb, uint8_t option, Bytes& reply) {
  if (verb == kDo || verb == kDont) {
    Option& mine = us_[option];
    if (verb == kDo) {
      if (!hostPerforms(option)) {
        append(reply, negotiation(kWont, option));
        return;
      }
      if (option == kComPort) comPort_ = true;
      if (!mine.pending && !mine.enabled) append(reply, negotiation(kWill, option));
      mine = {true, false};
      return;
    }
    if (option == kComPort) comPort_ = false;
    if (mine.enabled) append(reply, negotiation(kWont, option));
    mine = {};
    return;
  }
  Option& theirs = them_[option];
  if (verb == kWill) {
    if (!serverMayPerform(option)) {
      append(reply, negotiation(kDont, option));
      return;
    }
    if (!theirs.pending && !theirs.enabled) append(reply, negotiation(kDo, option));
    theirs = {true, false};
    return;
  }
  if (theirs.enabled) append(reply, negotiation(kDont, option));
  theirs = {};
}

void Session::subnegotiation(Bytes& /*reply*/) {
  // Other options' subnegotiations are not the host's business; COM-PORT-OPTION's need a code.
  if (sb_.empty() || sb_[0] != kComPort) return;
  if (sb_.size() < 2) {
    ++refused_;
    return;
  }
  comPortReply(sb_[1], std::span<const uint8_t>(sb_).subspan(2));
}

void Session::comPortReply(uint8_t code, std::span<const uint8_t> value) {
  // Codes below 100 are the client's; line and modem state notices are not asked for.
  if (code < kServerOffset) return;
  const auto command = static_cast<ComCommand>(code - kServerOffset);
  const bool oneByte = value.size() == 1;
  switch (command) {
    case ComCommand::SetBaudRate:
      if (value.size() != 4) break;
      confirmed_.baudRate = (uint32_t{value[0]} << 24) | (uint32_t{value[1]} << 16) |
                            (uint32_t{value[2]} << 8) | uint32_t{value[3]};
      return;
    case ComCommand::SetDataSize:
      if (!oneByte || value[0] < 5 || value[0] > 8) break;
      confirmed_.dataBits = value[0];
      return;
    case ComCommand::SetParity:
      if (!oneByte || value[0] < 1 || value[0] > 5) break;
      confirmed_.parity = value[0];
      return;
    case ComCommand::SetStopSize:
      if (!oneByte || value[0] < 1 || value[0] > 3) break;
      confirmed_.stopBits = value[0];
      return;
    default: return;
  }
  ++refused_;
}

}  // namespace solvard::serial::telnet
