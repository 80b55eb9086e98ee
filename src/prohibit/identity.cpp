#include "prohibit/identity.hpp"

#include "prohibit/access_record.hpp"
#include "prohibit/command_codes.hpp"
#include "prohibit/command_exchange.hpp"
#include "serial/byte_value.hpp"
#include "serial/host_link.hpp"
#include "serial/line_errors.hpp"
#include "serial/notice.hpp"
#include "serial/packed_digits.hpp"

namespace solvard::prohibit {
namespace {

constexpr int kFirstPiece = 1;
constexpr int kSecondPiece = 6;
constexpr int kFirstLimit = 1;
constexpr int kSecondLimit = 3;

// The second piece counts the bytes before it looks at the clock, so bytes already waiting are
// taken at once.
constexpr serial::WaitRule kSecondPieceWait{serial::WaitRule::Reading::WholeSeconds,
                                            serial::WaitRule::Expiry::Exceeds,
                                            serial::WaitRule::Order::CountFirst};

}  // namespace

std::string ReadMacID(const int16_t& machineNo, serial::Link& link,
                      const serial::PortSetup& setup) {
  serial::Bytes frame(2);
  if (link.OpenPort(setup) == serial::OpenResult::CannotOpen) return {};
  link.ClearBuffers();
  link.step([&] { frame[0] = serial::byteOf(machineNo); });
  link.step([&] { frame[1] = static_cast<uint8_t>(CommandCode::Identity); });
  link.SendFrame(frame);

  if (link.AwaitReply(kFirstPiece, kFirstLimit) == serial::WaitResult::TimedOut) {
    link.closeAndClear();
    return {};
  }
  const serial::Bytes first = link.ReadReply(kFirstPiece);
  if (first.size() != std::size_t{kFirstPiece} || first[0] != machineNo) {
    link.closeAndClear();
    return {};
  }

  if (link.awaitReply(kSecondPiece, kSecondLimit, kSecondPieceWait) ==
      serial::WaitResult::TimedOut) {
    link.report(serial::Notice::reply_incomplete);
    link.closeAndClear();
    return {};
  }
  const serial::Bytes second = link.ReadReply(kSecondPiece);
  // Byte 0 of the piece is the terminal's own; a byte a failed read did not give adds nothing.
  std::string identity;
  for (std::size_t i = 1; i < second.size(); ++i) identity += serial::twoDigitText(second[i]);
  link.ClosePort();
  return identity;
}

std::string GetID(serial::LineState& line, int16_t MachineNo) {
  if (!addressesOneTerminal(MachineNo)) return {};
  serial::Link link = serial::commandLink(line);
  return ReadMacID(MachineNo, link, line.settings);
}

Result<CardNumber> identity(serial::LineState& line, MachineNumber machine) {
  const std::string id = GetID(line, machine.value());
  if (id.empty()) {
    if (auto port = serial::portFailure(line)) return *port;
    return serial::exchangeFailure(line, machine.value(), "identity");
  }
  auto card = CardNumber::make(id);
  if (card) return card;
  return Error(Errc::unexpected_reply, "terminal " + std::to_string(machine.value()) +
                                           ": the identity read was \"" + id + "\"");
}

}  // namespace solvard::prohibit
