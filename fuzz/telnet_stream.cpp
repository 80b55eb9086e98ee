// The bytes a device server sends on an RFC 2217 line. However they are cut into reads, the
// session gives the same terminal bytes, answers and confirmed line; it never gives more data
// than came, never takes a value outside the option's range, and the terminals' own bytes
// escaped by the server come back unchanged.

#include <cstddef>
#include <cstdint>
#include <span>

#include "serial/telnet_com_port.hpp"

using namespace solvard::serial;

namespace {

[[noreturn]] void broken() { __builtin_trap(); }
void require(bool holds) {
  if (!holds) broken();
}

struct Outcome {
  Bytes data;
  Bytes reply;
  telnet::ConfirmedLine line;
  int refused = 0;
};

// The server's bytes in reads cut every `step` bytes (0: one read).
Outcome read(std::span<const uint8_t> bytes, std::size_t step, bool binary) {
  telnet::Session session;
  Outcome out;
  (void)session.opening();
  if (binary) {
    const Bytes agree{255, 251, 0, 255, 253, 0};
    session.receive(agree, out.data, out.reply);
  }
  const std::size_t piece = step == 0 ? bytes.size() : step;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    session.receive(bytes.subspan(at, std::min(piece, bytes.size() - at)), out.data, out.reply);
  }
  out.line = session.confirmed();
  out.refused = session.refused();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t step = data[0] % 7 + 1;
  const bool binary = (data[0] & 0x80) != 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);

  const Outcome whole = read(bytes, 0, binary);
  const Outcome cut = read(bytes, step, binary);
  require(whole.data == cut.data && whole.reply == cut.reply && whole.refused == cut.refused);
  require(whole.line.baudRate == cut.line.baudRate && whole.line.dataBits == cut.line.dataBits &&
          whole.line.parity == cut.line.parity && whole.line.stopBits == cut.line.stopBits);
  require(whole.data.size() <= bytes.size());
  if (whole.line.dataBits) require(*whole.line.dataBits >= 5 && *whole.line.dataBits <= 8);
  if (whole.line.parity) require(*whole.line.parity >= 1 && *whole.line.parity <= 5);
  if (whole.line.stopBits) require(*whole.line.stopBits >= 1 && *whole.line.stopBits <= 3);
  // Every answer is a whole three-byte negotiation.
  require(whole.reply.size() % 3 == 0);

  // The terminals' bytes as a server in binary mode sends them come back as they were.
  const Outcome echoed = read(telnet::escapeData(bytes), step, true);
  require(echoed.data == Bytes(bytes.begin(), bytes.end()) && echoed.reply.empty());
  return 0;
}
