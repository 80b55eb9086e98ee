#pragma once

#include <cstdint>

#include "serial/exchange.hpp"

namespace solvard::serial {

// Opening the lock of terminal 3 through port `portNumber`: the frame [3, 0x11], acknowledged
// by [3, 2] within a second. The exchange the tests of endings and faults run.
inline SingleExchange openLockExchange(int16_t portNumber = 3) {
  return {.setup = {portNumber, "9600,N,8,1", 1024, 512},
          .frame = Bytes(2),
          .fill =
              [](Link&, Bytes& frame) {
                frame = {3, 0x11};
              },
          .replyLength = 2,
          .timeoutSeconds = 1,
          .accepts =
              [](const Bytes& reply) {
                return reply == Bytes{3, 2};
              }};
}

}  // namespace solvard::serial
