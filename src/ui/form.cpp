#include "ui/form.hpp"

#include <algorithm>
#include <stdexcept>

namespace solvard::ui {

namespace {

template <typename Controls>
auto& findControl(Controls& controls, const std::string& formName, const std::string& name) {
  const auto found =
      std::find_if(controls.begin(), controls.end(), [&](const auto& c) { return c.name == name; });
  if (found == controls.end()) {
    throw std::out_of_range("form " + formName + " has no control " + name);
  }
  return *found;
}

}  // namespace

Control& Form::control(const std::string& controlName) {
  return findControl(controls, name, controlName);
}

const Control& Form::control(const std::string& controlName) const {
  return findControl(controls, name, controlName);
}

}  // namespace solvard::ui
