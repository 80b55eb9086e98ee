#include "door_options.hpp"

#include "port_ops.hpp"

namespace solvard::tool {

std::unique_ptr<component::Prohibit> doorObjectFor(const DoorOptions& options,
                                                   std::string& problem) {
  int16_t portNumber = 0;
  if (!resolvePortOption(options.port, portNumber, problem)) return nullptr;
  auto object = std::make_unique<component::Prohibit>();
  object->setCommPortID(portNumber);
  object->setCommBautRate(options.baud);
  return object;
}

}  // namespace solvard::tool
