#include "serial/exchange.hpp"

namespace solvard::serial {

ExchangeResult runExchange(Link& link, const SingleExchange& exchange) {
  if (link.OpenPort(exchange.setup) == OpenResult::CannotOpen) return {Ending::PortFailure, {}};
  link.ClearBuffers();
  Bytes frame = exchange.frame;
  if (exchange.fill) exchange.fill(link, frame);
  link.SendFrame(frame);
  if (link.AwaitReply(exchange.replyLength, exchange.timeoutSeconds) == WaitResult::TimedOut) {
    link.closeAndClear();
    return {Ending::Timeout, {}};
  }
  Bytes reply = link.ReadReply(exchange.replyLength);
  if (exchange.accepts(reply)) {
    link.closeAndClear();
    return {Ending::Success, std::move(reply)};
  }
  link.ClosePort();
  return {Ending::WrongReply, std::move(reply)};
}

}  // namespace solvard::serial
