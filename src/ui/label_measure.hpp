#pragma once

#include <cstdint>
#include <string_view>

namespace solvard::ui {

// How much room a label's text takes where the platform does not measure text itself (a build
// without a window; see text_measure.hpp): a fixed measure of the font size, the same on every
// platform, which keeps the box's layout reproducible:
// - a line is round(size × 20 × 1.2) twips high (the size in twips with 20% line spacing);
// - an average character cell is round(size × 10) twips wide (half an em), at least 1;
// - a line holds width ÷ cell width cells (at least 1); East Asian wide characters take two;
// - line breaks in the text (CR LF, LF or CR) always start a new line;
// - otherwise text wraps by words: a break may fall at a space or before or after a wide
//   character; a word longer than a line is split; spaces at a break take no room;
// - there is always at least one line.
int32_t lineHeightTwips(double fontSize);
int32_t charWidthTwips(double fontSize);

// Lines the text takes in a label `widthTwips` wide.
int32_t countLines(std::string_view text, int32_t widthTwips, double fontSize);

// The height a word-wrapping label of that width needs for the text.
int32_t labelHeightTwips(std::string_view text, int32_t widthTwips, double fontSize);

}  // namespace solvard::ui
