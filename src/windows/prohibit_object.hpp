#pragma once

#include "vtable_slots.hpp"

namespace solvard::windows {

// `Solvard.Prohibit` as a COM object: the dual interface `_Prohibit`, whose vtable members
// (generated from component/interface.toml) each hand their slot to the core, and which it also
// gives out under the identifier it was first published with (`Prohibit___v0`).
class ProhibitObject final : public ProhibitVtable {
 public:
  ProhibitObject();
};

}  // namespace solvard::windows
