#include "ui/string_table.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "ui/rc_lexer.hpp"
#include "ui/utf8.hpp"

namespace solvard::ui {

namespace {

using Kind = RcLexer::Kind;
using Token = RcLexer::Token;

bool isKeyword(const Token& token, std::string_view keyword) {
  return token.kind == Kind::Word &&
         std::equal(
             token.value.begin(), token.value.end(), keyword.begin(), keyword.end(),
             [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
}

// Memory attributes a resource may carry; they mean nothing to a string table read here.
bool isAttribute(const Token& token) {
  constexpr std::array<std::string_view, 8> kAttributes{"DISCARDABLE", "NONDISCARDABLE", "PRELOAD",
                                                        "LOADONCALL",  "MOVEABLE",       "FIXED",
                                                        "PURE",        "IMPURE"};
  return std::any_of(kAttributes.begin(), kAttributes.end(),
                     [&](std::string_view a) { return isKeyword(token, a); });
}

std::string described(const Token& token) {
  switch (token.kind) {
    case Kind::End: return "the end of the file";
    case Kind::Text: return "a text";
    default: return "\"" + token.value + "\"";
  }
}

class Parser {
 public:
  Parser(std::string_view source, const std::string& fileName) : lexer_(source, fileName) {}

  StringTable parse() {
    for (Token token = lexer_.next(); token.kind != Kind::End; token = lexer_.next()) {
      if (isKeyword(token, "STRINGTABLE")) {
        parseBlock(token.line);
      } else if (isKeyword(token, "LANGUAGE")) {
        skipLanguage();
      } else {
        lexer_.fail(token.line, "expected STRINGTABLE, found " + described(token));
      }
    }
    return std::move(table_);
  }

 private:
  // LANGUAGE <primary>, <sublanguage>
  void skipLanguage() {
    expect(Kind::Word, "a language");
    expect(Kind::Comma, "a comma");
    expect(Kind::Word, "a sublanguage");
  }

  Token expect(Kind kind, const std::string& what) {
    Token token = lexer_.next();
    if (token.kind != kind)
      lexer_.fail(token.line, "expected " + what + ", found " + described(token));
    return token;
  }

  void parseBlock(int blockLine) {
    while (true) {
      const Token token = lexer_.next();
      if (isKeyword(token, "BEGIN") || token.kind == Kind::Open) break;
      if (isAttribute(token)) continue;
      if (isKeyword(token, "LANGUAGE")) {
        skipLanguage();
      } else if (isKeyword(token, "CHARACTERISTICS") || isKeyword(token, "VERSION")) {
        expect(Kind::Word, "a number");
      } else {
        lexer_.fail(token.line, "expected BEGIN, found " + described(token));
      }
    }
    while (true) {
      Token token = lexer_.next();
      if (token.kind == Kind::End) {
        lexer_.fail(token.line,
                    "the STRINGTABLE block of line " + std::to_string(blockLine) + " has no END");
      }
      if (isKeyword(token, "END") || token.kind == Kind::Close) return;
      if (token.kind != Kind::Word) {
        lexer_.fail(token.line, "expected a string id, found " + described(token));
      }
      const int32_t id = stringId(token);
      Token text = lexer_.next();
      if (text.kind == Kind::Comma) text = lexer_.next();
      if (text.kind != Kind::Text) {
        lexer_.fail(text.line, "expected the text of string " + std::to_string(id) + ", found " +
                                   described(text));
      }
      if (!table_.emplace(id, std::move(text.value)).second) {
        lexer_.fail(token.line, "string " + std::to_string(id) + " is given twice");
      }
    }
  }

  int32_t stringId(const Token& token) {
    const std::string& word = token.value;
    const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const std::string_view digits = std::string_view(word).substr(hex ? 2 : 0);
    const std::string_view allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.find_first_not_of(allowed) != std::string_view::npos) {
      lexer_.fail(token.line, "the string id \"" + word + "\" is not a number");
    }
    int64_t value = 0;
    for (const char c : digits) {
      const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
      value = value * (hex ? 16 : 10) + digit;
      if (value > kLargestId) break;
    }
    if (value > kLargestId) {
      lexer_.fail(token.line, "the string id " + word + " is larger than 65535");
    }
    return static_cast<int32_t>(value);
  }

  // A resource string id is 16 bits wide.
  static constexpr int64_t kLargestId = 65535;

  RcLexer lexer_;
  StringTable table_;
};

int lineOf(std::string_view source, std::size_t offset) {
  return 1 + static_cast<int>(std::count(source.begin(), source.begin() + offset, '\n'));
}

}  // namespace

StringTable parseStringTable(std::string_view source, const std::string& fileName) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (source.starts_with(kByteOrderMark)) source.remove_prefix(kByteOrderMark.size());
  if (const std::size_t bad = firstMalformedByte(source); bad != std::string_view::npos) {
    throw languageFileError(fileName, lineOf(source, bad), "the file is not UTF-8 text");
  }
  return Parser(source, fileName).parse();
}

StringTable readStringTable(const std::filesystem::path& file) {
  // A string table takes kilobytes; a file past this is not a language module, and is not read.
  constexpr std::size_t kLargestModule = 1 << 20;
  const auto refused = [&file](const std::string& why) {
    return automation::AutomationError(
        kLanguageFileError, "Cannot read language module \"" + file.string() + "\": " + why);
  };
  const std::string tooLarge = "the file is larger than 1 MiB, more than a string table takes";
  std::ifstream in;
  // A directory opens like a file here and then fails only on reading; a device or a FIFO would
  // keep the read going, or waiting.
  std::error_code error;
  if (std::filesystem::is_regular_file(file, error)) {
    if (std::filesystem::file_size(file, error) > kLargestModule && !error) throw refused(tooLarge);
    in.open(file, std::ios::binary);
  }
  // Never more than the bound, whatever the file grows to meanwhile.
  std::string content(kLargestModule + 1, '\0');
  if (in.is_open()) in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (!in.is_open() || in.bad()) throw refused("the file cannot be opened");
  content.resize(static_cast<std::size_t>(in.gcount()));
  if (content.size() > kLargestModule) throw refused(tooLarge);
  return parseStringTable(content, file.string());
}

}  // namespace solvard::ui
