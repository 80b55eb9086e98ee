#include "ui/label_measure.hpp"

#include <algorithm>
#include <cmath>

#include "ui/utf8.hpp"

namespace solvard::ui {

namespace {

// Greedy filling of the lines of one paragraph (a text without line breaks).
class LineFiller {
 public:
  explicit LineFiller(int32_t cellsPerLine) : capacity_(cellsPerLine) {}

  void space() {
    if (used_ > 0) ++pendingSpaces_;
  }

  // A piece that must not be broken at a space: a run of narrow characters or one wide one.
  void piece(int32_t cells) {
    if (used_ > 0 && used_ + pendingSpaces_ + cells <= capacity_) {
      used_ += pendingSpaces_ + cells;
    } else {
      if (used_ > 0) ++lines_;
      // A piece wider than a line fills whole lines of its own first.
      const int32_t fullLines = cells > capacity_ ? (cells - 1) / capacity_ : 0;
      lines_ += fullLines;
      used_ = cells - fullLines * capacity_;
    }
    pendingSpaces_ = 0;
  }

  int32_t lines() const { return lines_; }

 private:
  int32_t capacity_;
  int32_t lines_ = 1;
  int32_t used_ = 0;
  int32_t pendingSpaces_ = 0;
};

int32_t paragraphLines(std::string_view paragraph, int32_t cellsPerLine) {
  LineFiller filler(cellsPerLine);
  int32_t word = 0;
  auto endWord = [&] {
    if (word > 0) filler.piece(word);
    word = 0;
  };
  for (std::size_t pos = 0; pos < paragraph.size();) {
    const char32_t c = nextCodePoint(paragraph, pos);
    if (c == U' ' || c == U'\t') {
      endWord();
      filler.space();
    } else if (isWideCharacter(c)) {
      endWord();
      filler.piece(2);
    } else {
      ++word;
    }
  }
  endWord();
  return filler.lines();
}

}  // namespace

int32_t lineHeightTwips(double fontSize) {
  return static_cast<int32_t>(std::lround(fontSize * 20 * 1.2));
}

int32_t charWidthTwips(double fontSize) {
  return std::max<int32_t>(1, static_cast<int32_t>(std::lround(fontSize * 10)));
}

int32_t countLines(std::string_view text, int32_t widthTwips, double fontSize) {
  const int32_t cellsPerLine = std::max<int32_t>(1, widthTwips / charWidthTwips(fontSize));
  int32_t lines = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find_first_of("\r\n", start);
    lines += paragraphLines(text.substr(start, end - start), cellsPerLine);
    if (end == std::string_view::npos) break;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

int32_t labelHeightTwips(std::string_view text, int32_t widthTwips, double fontSize) {
  return countLines(text, widthTwips, fontSize) * lineHeightTwips(fontSize);
}

}  // namespace solvard::ui
