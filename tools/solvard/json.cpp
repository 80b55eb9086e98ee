#include "json.hpp"

#include <cmath>
#include <cstdio>

#include "text/utf8.hpp"

namespace solvard::tool {

const Json* Json::find(std::string_view key) const {
  if (!isObject()) return nullptr;
  for (const auto& [k, v] : asObject()) {
    if (k == key) return &v;
  }
  return nullptr;
}

void Json::set(std::string key, Json value) {
  if (!isObject()) value_ = Object{};
  for (auto& [k, v] : asObject()) {
    if (k == key) {
      v = std::move(value);
      return;
    }
  }
  asObject().emplace_back(std::move(key), std::move(value));
}

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// Whether the byte at `pos` starts no well-formed UTF-8 character; `pos` moves past the character
// (or the one byte).
bool malformedAt(std::string_view text, size_t& pos) {
  const size_t start = pos;
  return text::nextCodePoint(text, pos) == 0xFFFD && text.substr(start, 3) != kReplacementUtf8;
}

void dumpString(std::string& out, const std::string& s) {
  out += '"';
  for (size_t pos = 0; pos < s.size();) {
    const auto c = static_cast<unsigned char>(s[pos]);
    if (c >= 0x80) {
      // Texts from the library (a language module's, a database's, the system's) need not be
      // UTF-8; the reply always is: a byte that is not part of a character becomes U+FFFD.
      const size_t start = pos;
      if (malformedAt(s, pos))
        out += kReplacementUtf8;
      else
        out.append(s, start, pos - start);
      continue;
    }
    ++pos;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void dumpNumber(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  if (v == std::trunc(v) && std::fabs(v) < 9.007199254740992e15) {
    out += std::to_string(static_cast<int64_t>(v));
    return;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  // Prefer the shortest text that reads back as the same number.
  for (int precision = 1; precision <= 17; ++precision) {
    char shorter[32];
    std::snprintf(shorter, sizeof shorter, "%.*g", precision, v);
    if (std::strtod(shorter, nullptr) == v) {
      out += shorter;
      return;
    }
  }
  out += buf;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  // Each array or object nested in another takes the parser one level deeper on the stack; a
  // line of brackets must not be able to use it up.
  static constexpr int kMaxDepth = Json::kMaxDepth;

  Json parseDocument() {
    Json value = parseValue();
    skipBlanks();
    if (pos_ != text_.size()) fail("unexpected text after the value");
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    throw JsonError("invalid JSON at offset " + std::to_string(pos_) + ": " + what);
  }

  // A UTF-16 surrogate escape stands for no character unless a high one is followed by a low.
  [[noreturn]] void unpaired(size_t escape, unsigned cp) {
    pos_ = escape;
    char text[8];
    std::snprintf(text, sizeof text, "%04x", cp);
    fail(std::string("\\u") + text + " is half of a surrogate pair without its other half");
  }

  void skipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool consume(std::string_view word) {
    if (text_.substr(pos_, word.size()) == word) {
      pos_ += word.size();
      return true;
    }
    return false;
  }

  Json parseValue() {
    skipBlanks();
    if (pos_ >= text_.size()) fail("missing value");
    char c = text_[pos_];
    if (c == '{' || c == '[') {
      if (depth_ == kMaxDepth) fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
      ++depth_;
      Json value = c == '{' ? parseObject() : parseArray();
      --depth_;
      return value;
    }
    if (c == '"') return Json(parseString());
    if (consume("true")) return Json(true);
    if (consume("false")) return Json(false);
    if (consume("null")) return Json(nullptr);
    return parseNumber();
  }

  Json parseObject() {
    ++pos_;
    Json::Object obj;
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '}') {
      ++pos_;
      return Json(std::move(obj));
    }
    while (true) {
      skipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '"') fail("expected a member name");
      std::string key = parseString();
      skipBlanks();
      if (!consume(":")) fail("expected ':'");
      obj.emplace_back(std::move(key), parseValue());
      skipBlanks();
      if (consume(",")) continue;
      if (consume("}")) return Json(std::move(obj));
      fail("expected ',' or '}'");
    }
  }

  Json parseArray() {
    ++pos_;
    Json::Array arr;
    skipBlanks();
    if (consume("]")) return Json(std::move(arr));
    while (true) {
      arr.push_back(parseValue());
      skipBlanks();
      if (consume(",")) continue;
      if (consume("]")) return Json(std::move(arr));
      fail("expected ',' or ']'");
    }
  }

  unsigned hex4() {
    if (pos_ + 4 > text_.size()) fail("short \\u escape");
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      char h = text_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9')
        v |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f')
        v |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F')
        v |= static_cast<unsigned>(h - 'A' + 10);
      else
        fail("bad \\u escape");
    }
    return v;
  }

  static void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::string parseString() {
    ++pos_;
    std::string out;
    while (true) {
      if (pos_ >= text_.size()) fail("unterminated string");
      char c = text_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("control character in string");
      if (static_cast<unsigned char>(c) >= 0x80) {
        const size_t start = --pos_;
        if (malformedAt(text_, pos_)) {
          pos_ = start;
          char byte[8];
          std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(c));
          fail(std::string("byte ") + byte +
               " is not UTF-8 here (overlong, cut short, a surrogate or no character at all)");
        }
        out.append(text_, start, pos_ - start);
        continue;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) fail("unterminated escape");
      char e = text_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          const size_t escape = pos_ - 2;
          unsigned cp = hex4();
          if (cp >= 0xDC00 && cp <= 0xDFFF) unpaired(escape, cp);
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!consume("\\u")) unpaired(escape, cp);
            const unsigned low = hex4();
            if (low < 0xDC00 || low > 0xDFFF) unpaired(escape, cp);
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          appendUtf8(out, cp);
          break;
        }
        default: fail("unknown escape");
      }
    }
  }

  Json parseNumber() {
    size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    auto digits = [&] {
      size_t before = pos_;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
      return pos_ > before;
    };
    if (!digits()) fail("expected a value");
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!digits()) fail("expected digits after '.'");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digits()) fail("expected exponent digits");
    }
    return Json(std::strtod(std::string(text_.substr(start, pos_ - start)).c_str(), nullptr));
  }

  std::string_view text_;
  size_t pos_ = 0;
  int depth_ = 0;
};

void dumpValue(std::string& out, const Json& v) {
  if (v.isNull()) {
    out += "null";
  } else if (v.isBool()) {
    out += v.asBool() ? "true" : "false";
  } else if (v.isNumber()) {
    dumpNumber(out, v.asNumber());
  } else if (v.isString()) {
    dumpString(out, v.asString());
  } else if (v.isArray()) {
    out += '[';
    bool first = true;
    for (const Json& item : v.asArray()) {
      if (!first) out += ',';
      first = false;
      dumpValue(out, item);
    }
    out += ']';
  } else {
    out += '{';
    bool first = true;
    for (const auto& [k, item] : v.asObject()) {
      if (!first) out += ',';
      first = false;
      dumpString(out, k);
      out += ':';
      dumpValue(out, item);
    }
    out += '}';
  }
}

}  // namespace

std::string Json::dump() const {
  std::string out;
  dumpValue(out, *this);
  return out;
}

Json Json::parse(std::string_view text) { return Parser(text).parseDocument(); }

}  // namespace solvard::tool
