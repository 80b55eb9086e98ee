#include "component/factory.hpp"

#include "component/attend.hpp"
#include "component/interface_table.hpp"
#include "component/prohibit.hpp"

namespace solvard::component {

std::unique_ptr<DispatchObject> createObject(std::string_view name) {
  const InterfaceInfo* info = findInterfaceByClass(name);
  if (info == &attendInterface()) return std::make_unique<Attend>();
  if (info == &prohibitInterface()) return std::make_unique<Prohibit>();
  return nullptr;
}

}  // namespace solvard::component
