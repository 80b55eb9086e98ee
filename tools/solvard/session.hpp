#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>

#include "component/dispatch.hpp"
#include "json.hpp"

namespace solvard::tool {

// A late-bound host over a line protocol: one JSON request per line in, one reply per line out.
class Session {
 public:
  Session();
  ~Session();

  // A request line longer than this is answered with error 5 and otherwise ignored.
  static constexpr std::size_t kMaxLineBytes = 1 << 20;

  // Answers one request. The reply always has "result", "byref", "messages", "error" and "log"
  // (the library's log lines while the request ran), in that order.
  Json handle(const Json& request);
  // A line that is not JSON (not UTF-8, nested deeper than Json::kMaxDepth) gets error 5.
  Json handleLine(const std::string& line);

  // Reads requests until the end of input; returns the process exit status. Every reply line
  // is valid UTF-8.
  int run(std::istream& in, std::ostream& out);

 private:
  Json create(const Json& request);
  Json member(const Json& request, component::MemberKind kind);
  Json language(const Json& request);
  Json settings();
  Json device(const Json& request);
  component::DispatchObject& object(const Json& request);

  std::map<std::string, std::unique_ptr<component::DispatchObject>> objects_;
};

// Builds the reply object around a result, by-reference values and an error, with an empty log.
Json makeReply(Json result, Json byref, Json messages, Json error);

}  // namespace solvard::tool
