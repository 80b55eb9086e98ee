#include "db/statements.hpp"

#include <algorithm>

namespace solvard::db {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether `text` starts with `word` (any case) followed by a space or the end.
bool startsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = text[i];
    if ((c | 0x20) != word[i]) return false;
  }
  return text.size() == word.size() || isSpace(text[word.size()]);
}

bool isIdentifier(std::string_view part) {
  return !part.empty() && part.size() <= 128 && isLetter(part.front()) &&
         std::all_of(part.begin(), part.end(), [](char c) { return isLetter(c) || isDigit(c); });
}

}  // namespace

std::string deleteWithFrom(std::string_view statement) {
  size_t i = 0;
  while (i < statement.size() && isSpace(statement[i])) ++i;
  if (!startsWithWord(statement.substr(i), "delete")) return std::string(statement);
  size_t table = i + 6;
  while (table < statement.size() && isSpace(statement[table])) ++table;
  if (table == statement.size() || startsWithWord(statement.substr(table), "from")) {
    return std::string(statement);
  }
  std::string rewritten(statement.substr(0, table));
  rewritten += "from ";
  rewritten += statement.substr(table);
  return rewritten;
}

std::string insertValues(std::string_view insertInto, std::string_view table,
                         std::initializer_list<std::string_view> values) {
  std::string statement(insertInto);
  statement += ' ';
  statement += table;
  statement += " values(";
  bool first = true;
  for (std::string_view value : values) {
    if (!first) statement += ',';
    first = false;
    statement += '\'';
    statement += value;
    statement += '\'';
  }
  statement += ')';
  return statement;
}

bool isPlainTableName(std::string_view name) {
  int parts = 0;
  while (true) {
    const size_t dot = name.find('.');
    if (!isIdentifier(name.substr(0, dot)) || ++parts > 3) return false;
    if (dot == std::string_view::npos) return true;
    name.remove_prefix(dot + 1);
  }
}

}  // namespace solvard::db
