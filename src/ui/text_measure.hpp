#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "ui/form.hpp"

namespace solvard::ui {

// How a platform that draws the box measures a label's text in the form's own font: the height
// in twips a word-wrapping label `widthTwips` wide needs, or none when it cannot tell (no
// screen to measure on). Without one, the fixed measure of label_measure.hpp is used.
using TextMeasure =
    std::function<std::optional<int32_t>(std::string_view text, int32_t widthTwips, const Font&)>;

// Installs the measure and returns the one it replaces; an empty one puts the fixed measure back.
TextMeasure setTextMeasure(TextMeasure measure);

// The height Label1 takes for the text in that font: the platform's measure when it answers, the
// fixed measure otherwise.
int32_t labelHeightInFont(std::string_view text, int32_t widthTwips, const Font& font);

}  // namespace solvard::ui
