#include "windows/attend_object.hpp"

#include <array>

#include "component/factory.hpp"
#include "component/identifiers.hpp"

namespace solvard::windows {
namespace {

std::span<const GUID> attendInterfaceIds() {
  static const std::array<GUID, 1> ids = {guidOf(component::ids::kAttendInterface)};
  return ids;
}

}  // namespace

AttendObject::AttendObject()
    : AttendVtable(component::createObject(component::ids::kAttendProgId), attendInterfaceIds()) {}

}  // namespace solvard::windows
