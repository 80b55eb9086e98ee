#include "ui/form.hpp"
#include "ui/messages.hpp"

namespace solvard::ui {

namespace {

constexpr int32_t kFontNameId = 1;
constexpr int32_t kFontSizeId = 5;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double leadingNumber(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
    ++pos;
  }
  double sign = 1;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    sign = text[pos] == '-' ? -1 : 1;
    ++pos;
  }
  // Read by hand rather than through the C library, whose decimal point follows the locale.
  double value = 0;
  while (pos < text.size() && isDigit(text[pos])) {
    value = value * 10 + (text[pos++] - '0');
  }
  if (pos < text.size() && text[pos] == '.') {
    double scale = 0.1;
    for (++pos; pos < text.size() && isDigit(text[pos]); ++pos, scale /= 10) {
      value += (text[pos] - '0') * scale;
    }
  }
  return sign * value;
}

void ApplyLanFont(Form& form) {
  const std::string name = LoadLanString(kFontNameId);
  const double size = leadingNumber(LoadLanString(kFontSizeId));
  const bool nameUsable = !name.empty();
  const bool sizeUsable = size > 0 && size <= kLargestFontSize;

  auto apply = [&](Font& font) {
    if (nameUsable) font.name = name;
    if (sizeUsable) font.size = size;
  };
  apply(form.font);
  for (Control& control : form.controls) {
    if (control.kind == ControlKind::StandardButton && control.font) {
      apply(*control.font);
    }
  }
}

}  // namespace solvard::ui
