#pragma once

#include "vtable_slots.hpp"

namespace solvard::windows {

// `Solvard.Attend` as a COM object: the dual interface `_Attend`, whose vtable members
// (generated from component/interface.toml) each hand their slot to the core.
class AttendObject final : public AttendVtable {
 public:
  AttendObject();
};

}  // namespace solvard::windows
