#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace solvard::ui {

// Every length of a form is in twips (1/1440 inch, 15 to a pixel at 96 dpi), as the platform's
// forms measure them; sizes of fonts are in points.

struct Font {
  std::string name;
  double size = 0;

  friend bool operator==(const Font&, const Font&) = default;
};

// The font a form and its buttons are made with, before a language module names another.
inline const Font kDesignFont{"MS Sans Serif", 8};

enum class ControlKind {
  Label,
  // The platform's own command button: the language font step gives it the form's font.
  StandardButton,
  // The library's button kind: it keeps the font it was made with.
  OwnButton,
  Image,
};

struct Control {
  std::string name;
  ControlKind kind = ControlKind::Label;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool visible = true;
  std::string caption;
  // Buttons carry a font of their own; labels and images draw in the form's font.
  std::optional<Font> font;
};

struct Form {
  std::string name;
  std::string caption;
  Font font = kDesignFont;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Control> controls;

  // The control named so; the form's controls are fixed by its design, so a missing name is a
  // programming error and throws std::out_of_range.
  Control& control(const std::string& controlName);
  const Control& control(const std::string& controlName) const;
};

// Sets the form's font from the selected language module: the name from string 1, the size from
// the leading number of string 5. Each half is skipped when it fails (an empty name, a size
// that is not above 0 or beyond kLargestFontSize), leaving that half of the font as it was.
// Standard command buttons take the same font; the library's own buttons keep theirs.
void ApplyLanFont(Form& form);

// The largest font size the step accepts; larger sizes are refused like 0.
inline constexpr double kLargestFontSize = 1638;

// The number a text starts with, read the way automation reads a leading number: blanks
// skipped, an optional sign, digits with an optional fraction; 0 when the text starts with no
// number ("12pt" gives 12, "x" gives 0).
double leadingNumber(const std::string& text);

}  // namespace solvard::ui
