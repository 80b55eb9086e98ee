#pragma once

namespace solvard::db {

// What a character can be in a table name the host gives.
enum class CharacterClass {
  Letter,  // a letter of any script, or the underscore: may begin a name
  Mark,    // a mark that combines with the letter before it: may follow one
  Other,   // digits, punctuation, spaces, symbols and everything else
};

// The class of one Unicode code point. ASCII digits are Other here: a name may hold them but
// not begin with one, which the caller decides.
CharacterClass identifierClass(char32_t c);

}  // namespace solvard::db
