// A whole request line of the `solvard session` host, from the JSON reader through the
// late-bound dispatch to the terminal exchanges, which run on the scripted port in virtual time
// (no answer comes) and write to a scripted database. Every line gets exactly one reply object
// with its five members, written as one well-formed UTF-8 line that reads back.
//
// Two requests are left out because they reach beyond the process: "language" reads the file
// it names, and the access-control download opens the database its text names (an SQLite file
// would be made). Their readers have harnesses of their own.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "component/shared_database.hpp"
#include "json.hpp"
#include "scripted_database.hpp"
#include "scripted_line.hpp"
#include "session.hpp"
#include "text/utf8.hpp"

using namespace solvard;

namespace {

bool sameWord(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Whether the request, if it reads, is one of those that reach beyond the process.
bool reachesOutside(std::string_view line) {
  tool::Json request;
  try {
    request = tool::Json::parse(line);
  } catch (const tool::JsonError&) {
    return false;
  }
  if (!request.isObject()) return false;
  const tool::Json* op = request.find("op");
  if (op != nullptr && op->isString() && op->asString() == "language") return true;
  const tool::Json* member = request.find("member");
  return member != nullptr && member->isString() && sameWord(member->asString(), "GetRegisterData");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // A few requests to one session, one per line, as the host sends them.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  fuzz::VirtualLine line;
  fuzz::ScriptedDatabase database({});
  auto saved = attend::replaceSharedDatabase(database.connect());
  {
    tool::Session session;
    std::size_t begin = 0;
    for (int requests = 0; begin <= input.size() && requests < 8; ++requests) {
      std::size_t end = input.find('\n', begin);
      if (end == std::string_view::npos) end = input.size();
      const std::string request(input.substr(begin, end - begin));
      begin = end + 1;
      if (reachesOutside(request)) continue;

      const tool::Json reply = session.handleLine(request);
      fuzz::require(reply.isObject() && reply.asObject().size() == 5);
      for (const char* key : {"result", "byref", "messages", "error", "log"}) {
        fuzz::require(reply.find(key) != nullptr);
      }
      const tool::Json* error = reply.find("error");
      fuzz::require(error->isNull() || (error->isObject() && error->find("number") != nullptr &&
                                        error->find("description") != nullptr));
      const std::string written = reply.dump();
      fuzz::require(text::firstMalformedByte(written) == std::string_view::npos);
      fuzz::require(written.find('\n') == std::string::npos);
      try {
        fuzz::require(tool::Json::parse(written).dump() == written);
      } catch (const tool::JsonError&) {
        fuzz::broken();
      }
    }
  }
  attend::replaceSharedDatabase(std::move(saved));
  return 0;
}
