#include "windows/prohibit_object.hpp"

#include <array>

#include "component/factory.hpp"
#include "component/identifiers.hpp"

namespace solvard::windows {
namespace {

std::span<const GUID> prohibitInterfaceIds() {
  static const std::array<GUID, 2> ids = {guidOf(component::ids::kProhibitInterface),
                                          guidOf(component::ids::kProhibitInterfaceV0)};
  return ids;
}

}  // namespace

ProhibitObject::ProhibitObject()
    : ProhibitVtable(component::createObject(component::ids::kProhibitProgId),
                     prohibitInterfaceIds()) {}

}  // namespace solvard::windows
