#include "reply_text.hpp"

#include <ostream>

namespace solvard::tool {

namespace {

std::string valueText(const Json& v) { return v.isString() ? v.asString() : v.dump(); }

}  // namespace

void printReply(std::ostream& out, const Json& reply, bool asJson) {
  if (asJson) {
    out << reply.dump() << '\n';
    return;
  }
  if (const Json* messages = reply.find("messages"); messages && messages->isArray()) {
    for (const Json& m : messages->asArray()) {
      out << "message";
      if (const Json* n = m.find("number"); n && !n->isNull()) out << ' ' << n->dump();
      out << ": " << valueText(*m.find("text")) << '\n';
    }
  }
  if (const Json* byref = reply.find("byref"); byref && byref->isObject()) {
    for (const auto& [name, value] : byref->asObject()) {
      out << name << " = " << valueText(value) << '\n';
    }
  }
  const Json* error = reply.find("error");
  if (error && !error->isNull()) {
    out << "error " << error->find("number")->dump() << ": "
        << error->find("description")->asString() << '\n';
    return;
  }
  const Json* result = reply.find("result");
  if (result && !result->isNull()) out << "result: " << valueText(*result) << '\n';
}

}  // namespace solvard::tool
