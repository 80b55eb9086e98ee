#pragma once

#include <functional>

#include "serial/link.hpp"

namespace solvard::serial {

// How a single exchange ended; each ending has already run its steps when it is returned.
enum class Ending {
  Success,      // reply as expected: port closed, buffers cleared
  WrongReply,   // port closed, buffers not cleared
  Timeout,      // fewer bytes than awaited: port closed, buffers cleared
  PortFailure,  // the port could not be opened: notice port_cannot_open shown, nothing sent
};

// The one exchange of most access-control commands: a frame out, a reply of fixed length back.
struct SingleExchange {
  PortSetup setup;
  // Built fresh, all bytes 0, at the command's length.
  Bytes frame;
  // Fills the frame once the port is open and cleared. Run each byte as a `Link::step`, so a
  // byte whose computation fails stays 0 and the frame is still sent.
  std::function<void(Link&, Bytes& frame)> fill;
  int replyLength = 2;
  int timeoutSeconds = 1;
  // Whether the reply read is the one expected.
  std::function<bool(const Bytes& reply)> accepts;
};

struct ExchangeResult {
  Ending ending;
  Bytes reply;  // the bytes read, when a reply came
};

// OpenPort, ClearBuffers, fill, SendFrame, AwaitReply, ReadReply, then the ending.
ExchangeResult runExchange(Link& link, const SingleExchange& exchange);

}  // namespace solvard::serial
