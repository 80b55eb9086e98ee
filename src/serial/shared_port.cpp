#include "serial/shared_port.hpp"

namespace solvard::serial {
namespace {

std::unique_ptr<PortControl>& slot() {
  static std::unique_ptr<PortControl> port;
  return port;
}

}  // namespace

PortControl& sharedPort() {
  auto& port = slot();
  if (!port) port = makePlatformPort();
  return *port;
}

std::unique_ptr<PortControl> replaceSharedPort(std::unique_ptr<PortControl> port) {
  std::swap(slot(), port);
  return port;
}

}  // namespace solvard::serial
