#include "ui/rc_lexer.hpp"

#include <cstdio>

#include "ui/string_table.hpp"

namespace solvard::ui {

namespace {

bool isWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

std::string shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x21 && byte < 0x7F) return std::string(1, c);
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", byte);
  return buffer;
}

}  // namespace

automation::AutomationError languageFileError(const std::string& fileName, int line,
                                              const std::string& reason) {
  return {kLanguageFileError, "Cannot read language module \"" + fileName + "\", line " +
                                  std::to_string(line) + ": " + reason};
}

RcLexer::RcLexer(std::string_view source, std::string fileName)
    : source_(source), fileName_(std::move(fileName)) {}

void RcLexer::fail(int line, const std::string& reason) const {
  throw languageFileError(fileName_, line, reason);
}

char RcLexer::peek(std::size_t ahead) const {
  return pos_ + ahead < source_.size() ? source_[pos_ + ahead] : '\0';
}

void RcLexer::skipBlanksAndComments() {
  while (!atEnd()) {
    const char c = peek();
    if (c == '\n') {
      ++line_;
      ++pos_;
      lineStart_ = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++pos_;
    } else if (c == '/' && peek(1) == '/') {
      while (!atEnd() && peek() != '\n') ++pos_;
    } else if (c == '/' && peek(1) == '*') {
      const int opened = line_;
      pos_ += 2;
      while (!atEnd() && !(peek() == '*' && peek(1) == '/')) {
        if (peek() == '\n') ++line_;
        ++pos_;
      }
      if (atEnd()) fail(opened, "the comment is not closed");
      pos_ += 2;
    } else if (c == '#' && lineStart_) {
      skipDirective();
    } else {
      return;
    }
  }
}

void RcLexer::skipDirective() {
  const int line = line_;
  ++pos_;
  while (peek() == ' ' || peek() == '\t') ++pos_;
  const std::size_t start = pos_;
  while (isWordChar(peek())) ++pos_;
  const std::string_view name = source_.substr(start, pos_ - start);
  if (name != "include" && name != "define" && name != "undef" && name != "pragma") {
    fail(line, "the directive #" + std::string(name) + " is not supported");
  }
  // A backslash at the end of a line carries the directive on to the next.
  while (!atEnd() && peek() != '\n') {
    if (peek() == '\\' && (peek(1) == '\n' || (peek(1) == '\r' && peek(2) == '\n'))) {
      pos_ += peek(1) == '\r' ? 3 : 2;
      ++line_;
    } else {
      ++pos_;
    }
  }
}

RcLexer::Token RcLexer::next() {
  skipBlanksAndComments();
  Token token;
  token.line = line_;
  if (atEnd()) return token;
  lineStart_ = false;
  const char c = peek();
  if (c == '"' || (c == 'L' && peek(1) == '"')) {
    pos_ += c == 'L' ? 2 : 1;
    token.kind = Kind::Text;
    token.value = readText(token.line);
  } else if (isWordChar(c)) {
    const std::size_t start = pos_;
    while (isWordChar(peek())) ++pos_;
    token.kind = Kind::Word;
    token.value = std::string(source_.substr(start, pos_ - start));
  } else if (c == ',' || c == '{' || c == '}') {
    ++pos_;
    token.kind = c == ',' ? Kind::Comma : c == '{' ? Kind::Open : Kind::Close;
    token.value = std::string(1, c);
  } else {
    fail(line_, "unexpected character " + shown(c));
  }
  return token;
}

std::string RcLexer::readText(int line) {
  std::string text;
  while (true) {
    if (atEnd() || peek() == '\n' || peek() == '\r') fail(line, "the text is not closed");
    const char c = source_[pos_++];
    if (c == '"') {
      if (peek() != '"') return text;
      ++pos_;
      text += '"';
    } else if (c == '\\') {
      readEscape(text, line);
    } else {
      text += c;
    }
  }
}

void RcLexer::readEscape(std::string& text, int line) {
  const char c = peek();
  ++pos_;
  switch (c) {
    case 'n': text += '\n'; return;
    case 't': text += '\t'; return;
    case 'r': text += '\r'; return;
    case '\\': text += '\\'; return;
    case '"': text += '"'; return;
    case 'x': {
      int value = 0;
      int digits = 0;
      for (; digits < 2 && hexValue(peek()) >= 0; ++digits)
        value = value * 16 + hexValue(source_[pos_++]);
      if (digits == 0) fail(line, "\\x is not followed by a hexadecimal digit");
      text += static_cast<char>(value);
      return;
    }
    default: break;
  }
  if (isOctal(c)) {
    int value = c - '0';
    for (int digits = 1; digits < 3 && isOctal(peek()); ++digits)
      value = value * 8 + (source_[pos_++] - '0');
    if (value > 0xFF) fail(line, "the octal escape is larger than a byte");
    text += static_cast<char>(value);
    return;
  }
  if (c == '\0' || c == '\n' || c == '\r') fail(line, "the text is not closed");
  fail(line, "unknown escape \\" + shown(c));
}

}  // namespace solvard::ui
