#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "automation/error.hpp"

namespace solvard::ui {

// The refusal of a language file at a line.
automation::AutomationError languageFileError(const std::string& fileName, int line,
                                              const std::string& reason);

// Splits a resource script into the tokens a string table is made of. Comments and the
// preprocessor lines a string table file may hold are passed over here.
class RcLexer {
 public:
  enum class Kind { Word, Text, Comma, Open, Close, End };
  struct Token {
    Kind kind = Kind::End;
    // A word as written, or a text with its escapes resolved.
    std::string value;
    int line = 0;
  };

  RcLexer(std::string_view source, std::string fileName);

  Token next();

  [[noreturn]] void fail(int line, const std::string& reason) const;

 private:
  bool atEnd() const { return pos_ >= source_.size(); }
  char peek(std::size_t ahead = 0) const;
  void skipBlanksAndComments();
  void skipDirective();
  std::string readText(int line);
  void readEscape(std::string& text, int line);

  std::string_view source_;
  std::string fileName_;
  std::size_t pos_ = 0;
  int line_ = 1;
  // Only blanks stand between the start of the line and `pos_`: a '#' there begins a directive.
  bool lineStart_ = true;
};

}  // namespace solvard::ui
