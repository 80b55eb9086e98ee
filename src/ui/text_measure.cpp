#include "ui/text_measure.hpp"

#include <mutex>
#include <utility>

#include "ui/label_measure.hpp"

namespace solvard::ui {

namespace {

std::mutex& measureMutex() {
  static std::mutex m;
  return m;
}

TextMeasure& installedMeasure() {
  static TextMeasure measure;
  return measure;
}

}  // namespace

TextMeasure setTextMeasure(TextMeasure measure) {
  std::lock_guard lock(measureMutex());
  return std::exchange(installedMeasure(), std::move(measure));
}

int32_t labelHeightInFont(std::string_view text, int32_t widthTwips, const Font& font) {
  TextMeasure measure;
  {
    std::lock_guard lock(measureMutex());
    measure = installedMeasure();
  }
  if (measure) {
    // A measure that answers nothing sensible (no room at all) counts as no answer.
    if (const std::optional<int32_t> height = measure(text, widthTwips, font);
        height && *height > 0)
      return *height;
  }
  return labelHeightTwips(text, widthTwips, font.size);
}

}  // namespace solvard::ui
