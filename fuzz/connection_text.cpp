// The translation of a host's connection text into the ODBC text the driver manager is given.
// What the host wrote as a value (a path, a password) must stay that one value: read by the
// driver manager's rules, a translated text names only the parts the translation made.

#include "db/connection_text.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void broken() { __builtin_trap(); }
void require(bool holds) {
  if (!holds) broken();
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

// An ODBC connection text as the driver manager reads it: `key=value` parts split at ';'; a
// value that begins with '{' runs to its closing '}', a doubled '}' standing for one. Nothing
// for a part without '=' or a brace left open.
std::optional<Pairs> readOdbc(std::string_view text) {
  Pairs pairs;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ';') {
      ++pos;
      continue;
    }
    const std::size_t equals = text.find('=', pos);
    if (equals == std::string_view::npos) return std::nullopt;
    std::string key(text.substr(pos, equals - pos));
    if (key.find(';') != std::string::npos) return std::nullopt;
    pos = equals + 1;
    std::string value;
    if (pos < text.size() && text[pos] == '{') {
      for (++pos;; ++pos) {
        if (pos >= text.size()) return std::nullopt;
        if (text[pos] == '}') {
          if (pos + 1 < text.size() && text[pos + 1] == '}') {
            value += '}';
            ++pos;
            continue;
          }
          ++pos;
          break;
        }
        value += text[pos];
      }
      if (pos < text.size() && text[pos] != ';') return std::nullopt;
    } else {
      const std::size_t end = std::min(text.find(';', pos), text.size());
      value = std::string(text.substr(pos, end - pos));
      pos = end;
    }
    pairs.emplace_back(std::move(key), std::move(value));
  }
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // A value written as one part reads back as that part, whatever it holds.
  const std::string part = solvard::db::odbcPart("PWD", text);
  const auto read = readOdbc(part);
  require(read && read->size() == 1 && (*read)[0].first == "PWD" && (*read)[0].second == text);

  const solvard::db::TranslatedText translated = solvard::db::odbcConnectionText(text);
  require(translated.ok() != translated.odbc.empty());
  if (!translated.ok()) return 0;
  // A text without '=' is a file path: the driver, that one database and the durable journal
  // settings, nothing more (the path cannot smuggle in a key of its own).
  if (text.find('=') == std::string_view::npos) {
    const auto parts = readOdbc(translated.odbc);
    require(parts && parts->size() >= 2 && (*parts)[0].first == "Driver" &&
            (*parts)[1].first == "Database");
    for (size_t i = 2; i < parts->size(); ++i) {
      const std::string& key = (*parts)[i].first;
      require(key == "JournalMode" || key == "SyncPragma" || key == "Timeout");
    }
  }
  return 0;
}
