#include "serial/tracing_port.hpp"

namespace solvard::serial {

Bytes TracingPort::Input() {
  Bytes taken = port_->Input();
  if (!taken.empty()) trace_(TraceDirection::received, taken);
  return taken;
}

void TracingPort::Output(std::span<const uint8_t> bytes) {
  port_->Output(bytes);
  trace_(TraceDirection::sent, bytes);
}

}  // namespace solvard::serial
