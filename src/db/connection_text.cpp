#include "db/connection_text.hpp"

#include <algorithm>
#include <initializer_list>

namespace solvard::db {
namespace {

constexpr std::string_view kSpaces = " \t\r\n";

std::string_view trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kSpaces);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpaces) - first + 1);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

bool startsIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool keyIs(const ConnectionPart& part, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(),
                     [&](std::string_view name) { return equalsIgnoringCase(part.key, name); });
}

// Reads a value written in braces or quotes from `text[i]` (the opening mark) on; `close` is the
// closing mark, which stands for itself when doubled. Leaves `i` after the closing mark.
bool readEnclosed(std::string_view text, size_t& i, char close, std::string& value) {
  for (++i; i < text.size(); ++i) {
    if (text[i] != close) {
      value += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == close) {
      value += close;
      ++i;
    } else {
      ++i;
      return true;
    }
  }
  return false;
}

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ';';
    text += part;
  }
  return text;
}

// A driver name with spaces or marks is written in braces, as every driver manager expects it.
std::string driverPart(std::string_view name) {
  const bool plain = std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
  return plain ? "Driver=" + std::string(name) : "Driver={" + std::string(name) + "}";
}

// The SQLite3 driver reads its Database value up to the next ';' and knows no braces, so a path
// holding a ';' (or starting with '{') is given as an SQLite file URI instead, where such
// characters are written as %XX escapes.
std::string sqliteDatabase(std::string_view path) {
  if (path.find(';') == std::string_view::npos && !path.starts_with('{')) return std::string(path);
  const bool drive = path.size() > 1 && path[1] == ':' &&
                     ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  std::string uri = drive ? "file:///" : "file:";
  constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : path) {
    if (c == '%' || c == ';' || c == '?' || c == '#') {
      uri += '%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[static_cast<unsigned char>(c) & 15];
    } else {
      uri += drive && c == '\\' ? '/' : c;
    }
  }
  return uri;
}

TranslatedText refused(std::string problem) { return {{}, std::move(problem)}; }

bool isTrue(std::string_view value) {
  return equalsIgnoringCase(value, "SSPI") || equalsIgnoringCase(value, "true") ||
         equalsIgnoringCase(value, "yes");
}

TranslatedText fromMsdasql(const std::vector<ConnectionPart>& parts) {
  std::vector<std::string> out;
  for (const ConnectionPart& part : parts) {
    if (keyIs(part, {"Provider", "Persist Security Info"})) continue;
    if (keyIs(part, {"Data Source"})) {
      out.push_back(odbcPart("DSN", part.value));
    } else if (keyIs(part, {"User ID"})) {
      out.push_back(odbcPart("UID", part.value));
    } else if (keyIs(part, {"Password"})) {
      out.push_back(odbcPart("PWD", part.value));
    } else if (keyIs(part, {"Extended Properties"})) {
      // The bridge hands this text to the ODBC driver manager as it stands.
      const std::string_view text = trim(part.value);
      if (!text.empty()) out.emplace_back(text);
    } else {
      out.push_back(part.raw);
    }
  }
  // An empty text would reach the driver manager, which could only say that nothing was named.
  if (out.empty())
    return refused("the MSDASQL provider needs a Data Source or Extended Properties");
  return {join(out), {}};
}

TranslatedText fromJet(const std::vector<ConnectionPart>& parts) {
  std::string database;
  std::string user;
  std::string password;
  std::string databasePassword;
  for (const ConnectionPart& part : parts) {
    if (keyIs(part, {"Data Source"})) database = part.value;
    if (keyIs(part, {"User ID"})) user = part.value;
    if (keyIs(part, {"Password"})) password = part.value;
    if (keyIs(part, {"Jet OLEDB:Database Password"})) databasePassword = part.value;
  }
  if (database.empty()) return refused("the Access provider needs a Data Source (the file)");
  std::vector<std::string> out{driverPart(kAccessDriver), odbcPart("Dbq", database)};
  if (!user.empty()) out.push_back(odbcPart("UID", user));
  // The ODBC driver knows one password, the one that guards the database file.
  if (!databasePassword.empty()) password = databasePassword;
  if (!password.empty()) out.push_back(odbcPart("PWD", password));
  return {join(out), {}};
}

TranslatedText fromSqlServer(const std::vector<ConnectionPart>& parts) {
  std::vector<std::string> out{driverPart(kSqlServerDriver)};
  for (const ConnectionPart& part : parts) {
    if (keyIs(part, {"Provider", "Persist Security Info", "OLE DB Services"})) continue;
    if (keyIs(part, {"Data Source", "Server", "Address", "Addr", "Network Address"})) {
      out.push_back(odbcPart("Server", part.value));
    } else if (keyIs(part, {"Initial Catalog", "Database"})) {
      out.push_back(odbcPart("Database", part.value));
    } else if (keyIs(part, {"User ID", "UID"})) {
      out.push_back(odbcPart("UID", part.value));
    } else if (keyIs(part, {"Password", "PWD"})) {
      out.push_back(odbcPart("PWD", part.value));
    } else if (keyIs(part, {"Integrated Security"})) {
      if (isTrue(trim(part.value))) out.push_back("Trusted_Connection=yes");
    } else {
      out.push_back(part.raw);
    }
  }
  return {join(out), {}};
}

}  // namespace

std::optional<std::vector<ConnectionPart>> parseConnectionText(std::string_view text,
                                                               std::string& problem) {
  std::vector<ConnectionPart> parts;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ';' || kSpaces.find(text[i]) != std::string_view::npos) {
      ++i;
      continue;
    }
    const size_t start = i;
    const size_t mark = text.find_first_of("=;", i);
    if (mark == std::string_view::npos || text[mark] == ';') {
      problem =
          "the part \"" + std::string(trim(text.substr(start, mark - start))) + "\" has no '='";
      return std::nullopt;
    }
    ConnectionPart part;
    part.key = std::string(trim(text.substr(start, mark - start)));
    if (part.key.empty()) {
      problem = "a part has no key before its '='";
      return std::nullopt;
    }
    i = mark + 1;
    while (i < text.size() && kSpaces.find(text[i]) != std::string_view::npos) ++i;
    const char first = i < text.size() ? text[i] : '\0';
    if (first == '{' || first == '"' || first == '\'') {
      if (!readEnclosed(text, i, first == '{' ? '}' : first, part.value)) {
        problem = "the value of " + part.key + " is not closed";
        return std::nullopt;
      }
      while (i < text.size() && kSpaces.find(text[i]) != std::string_view::npos) ++i;
      if (i < text.size() && text[i] != ';') {
        problem = "the value of " + part.key + " goes on after its closing mark";
        return std::nullopt;
      }
    } else {
      const size_t end = std::min(text.find(';', i), text.size());
      part.value = std::string(trim(text.substr(i, end - i)));
      i = end;
    }
    part.raw = std::string(trim(text.substr(start, i - start)));
    parts.push_back(std::move(part));
  }
  return parts;
}

std::string odbcPart(std::string_view key, std::string_view value) {
  const bool braces = value.find(';') != std::string_view::npos || value.starts_with('{') ||
                      (!value.empty() && (kSpaces.find(value.front()) != std::string_view::npos ||
                                          kSpaces.find(value.back()) != std::string_view::npos));
  std::string part(key);
  part += '=';
  if (!braces) return part + std::string(value);
  part += '{';
  for (char c : value) {
    part += c;
    if (c == '}') part += '}';
  }
  return part + '}';
}

bool namesSqliteFile(std::string_view connectionText) {
  return connectionText.find('=') == std::string_view::npos;
}

TranslatedText odbcConnectionText(std::string_view hostText) {
  const std::string_view text = trim(hostText);
  if (text.empty()) return refused("the connection text is empty");
  if (namesSqliteFile(text)) {
    return {driverPart(kSqliteDriver) + ";Database=" + sqliteDatabase(text) + ";" +
                std::string(kSqliteDurableJournal),
            {}};
  }
  std::string problem;
  const auto parts = parseConnectionText(text, problem);
  if (!parts) return refused("the connection text cannot be read: " + problem);
  const auto provider = std::find_if(
      parts->begin(), parts->end(), [](const ConnectionPart& p) { return keyIs(p, {"Provider"}); });
  if (provider == parts->end()) return {std::string(hostText), {}};

  const std::string_view name = trim(provider->value);
  if (equalsIgnoringCase(name, "MSDASQL") || startsIgnoringCase(name, "MSDASQL.")) {
    return fromMsdasql(*parts);
  }
  if (equalsIgnoringCase(name, "Microsoft.Jet.OLEDB.4.0") ||
      startsIgnoringCase(name, "Microsoft.ACE.OLEDB.")) {
    return fromJet(*parts);
  }
  if (equalsIgnoringCase(name, "SQLOLEDB") || startsIgnoringCase(name, "SQLOLEDB.") ||
      startsIgnoringCase(name, "SQLNCLI") || startsIgnoringCase(name, "MSOLEDBSQL")) {
    return fromSqlServer(*parts);
  }
  return refused("the provider \"" + std::string(name) +
                 "\" is not supported; give an ODBC connection text (Driver=...;... or DSN=...) "
                 "or the path of an SQLite database file");
}

}  // namespace solvard::db
