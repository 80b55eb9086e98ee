#include "session.hpp"

#include <iostream>
#include <string>

#include "automation/error.hpp"
#include "component/factory.hpp"
#include "component/library_line.hpp"
#include "message_recorder.hpp"
#include "serial/settings.hpp"
#include "ui/host_reports.hpp"
#include "ui/language_modules.hpp"
#include "variant_json.hpp"

namespace solvard::tool {

using automation::AutomationError;
using automation::Variant;
using component::MemberKind;

namespace {

// A host's text shown in a reply: whole up to 64 characters, else the first 64, "…" and the
// text's length, so a runaway name costs the reply no more than its beginning.
constexpr std::size_t kEchoedCharacters = 64;
constexpr const char* kEllipsis = "\xE2\x80\xA6";

// How many bytes the first kEchoedCharacters characters take (the request was read as UTF-8,
// so a lead byte is followed by the whole of its character).
std::size_t echoedBytes(const std::string& text) {
  std::size_t end = 0;
  for (std::size_t characters = 0; end < text.size() && characters < kEchoedCharacters;
       ++characters) {
    do {
      ++end;
    } while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80);
  }
  return end;
}

std::string lengthNote(const std::string& text) {
  return " (" + std::to_string(text.size()) + " bytes)";
}

std::string echoed(const std::string& text) {
  const std::size_t shown = echoedBytes(text);
  if (shown == text.size()) return text;
  return text.substr(0, shown) + kEllipsis + lengthNote(text);
}

std::string quoted(const std::string& text) {
  const std::size_t shown = echoedBytes(text);
  if (shown == text.size()) return "\"" + text + "\"";
  return "\"" + text.substr(0, shown) + kEllipsis + "\"" + lengthNote(text);
}

AutomationError badRequest(const std::string& what) {
  return {automation::errors::kInvalidCall, "Invalid procedure call or argument: " + what};
}

const std::string& requireString(const Json& request, std::string_view key) {
  const Json* v = request.find(key);
  if (v == nullptr || !v->isString()) {
    throw badRequest("the request needs \"" + std::string(key) + "\" as a string");
  }
  return v->asString();
}

Json errorJson(const AutomationError& e) {
  return Json(Json::Object{{"number", Json(static_cast<int>(e.number()))},
                           {"description", Json(e.description())}});
}

}  // namespace

Json makeReply(Json result, Json byref, Json messages, Json error) {
  return Json(Json::Object{{"result", std::move(result)},
                           {"byref", std::move(byref)},
                           {"messages", std::move(messages)},
                           {"error", std::move(error)},
                           {"log", Json(Json::Array{})}});
}

Session::Session() = default;
Session::~Session() = default;

component::DispatchObject& Session::object(const Json& request) {
  const std::string& id = requireString(request, "id");
  auto it = objects_.find(id);
  if (it == objects_.end()) throw badRequest("no object with id " + quoted(id));
  return *it->second;
}

Json Session::create(const Json& request) {
  const std::string& className = requireString(request, "class");
  const std::string& id = requireString(request, "id");
  auto obj = component::createObject(className);
  if (!obj) {
    throw AutomationError(429, "ActiveX component can't create object: " + echoed(className));
  }
  objects_[id] = std::move(obj);
  return makeReply(nullptr, Json(Json::Object{}), Json(Json::Array{}), nullptr);
}

Json Session::member(const Json& request, MemberKind kind) {
  component::DispatchObject& obj = object(request);
  const std::string& name = requireString(request, "member");
  std::vector<Variant> args;
  if (kind == MemberKind::PropertyLet) {
    const Json* value = request.find("value");
    if (value == nullptr) throw badRequest("a let needs \"value\"");
    args.push_back(fromJson(*value));
  } else if (const Json* list = request.find("args"); list != nullptr) {
    if (!list->isArray()) throw badRequest("\"args\" must be an array");
    for (const Json& a : list->asArray()) args.push_back(fromJson(a));
  }

  const component::Member* m = component::findMember(obj.interfaceInfo(), name, kind);
  if (m == nullptr) {
    throw AutomationError(438, "Object doesn't support this property or method");
  }
  Json byref = Json(Json::Object{});
  Json result;
  std::optional<AutomationError> error;
  try {
    result = toJson(component::invokeMember(obj, *m, args));
  } catch (const AutomationError& e) {
    error = e;
  }
  for (size_t i = 0; i < m->params.size() && i < args.size(); ++i) {
    if (m->params[i].byRef) byref.set(std::string(m->params[i].name), toJson(args[i]));
  }
  return makeReply(std::move(result), std::move(byref), Json(Json::Array{}),
                   error ? errorJson(*error) : Json(nullptr));
}

Json Session::language(const Json& request) {
  int32_t handle = ui::loadLanguageModule(requireString(request, "path"));
  return makeReply(Json(static_cast<int>(handle)), Json(Json::Object{}), Json(Json::Array{}),
                   nullptr);
}

Json Session::settings() {
  const serial::LibrarySettings& s = component::librarySettings();
  Json result(Json::Object{{"port", Json(static_cast<int>(s.portNumber))},
                           {"settings", Json(s.settingsText)},
                           {"in", Json(static_cast<int>(s.inBufferSize))},
                           {"out", Json(static_cast<int>(s.outBufferSize))}});
  return makeReply(std::move(result), Json(Json::Object{}), Json(Json::Array{}), nullptr);
}

Json Session::device(const Json& request) {
  const Json* port = request.find("port");
  if (port == nullptr || !port->isNumber())
    throw badRequest("\"device\" needs \"port\" as a number");
  component::mapPortDevice(automation::toInt16(Variant(port->asNumber())),
                           requireString(request, "path"));
  return makeReply(nullptr, Json(Json::Object{}), Json(Json::Array{}), nullptr);
}

Json Session::handle(const Json& request) {
  MessageRecorder recorder;
  // The library's log lines for this request go back with its reply, not to standard error,
  // which the host may not be reading.
  Json::Array logged;
  ui::ScopedLogSink log([&logged](const std::string& line) { logged.emplace_back(line); });
  Json reply;
  try {
    if (!request.isObject()) throw badRequest("each line must be a JSON object");
    const std::string& op = requireString(request, "op");
    if (op == "create")
      reply = create(request);
    else if (op == "let")
      reply = member(request, MemberKind::PropertyLet);
    else if (op == "get")
      reply = member(request, MemberKind::PropertyGet);
    else if (op == "call")
      reply = member(request, MemberKind::Method);
    else if (op == "language")
      reply = language(request);
    else if (op == "settings")
      reply = settings();
    else if (op == "device")
      reply = device(request);
    else
      throw badRequest("unknown op " + quoted(op));
  } catch (const detail::Fault& fault) {
    reply = makeReply(nullptr, Json(Json::Object{}), Json(Json::Array{}),
                      errorJson(automation::asAutomationError(fault)));
  }
  reply.set("messages", recorder.take());
  reply.set("log", Json(std::move(logged)));
  return reply;
}

Json Session::handleLine(const std::string& line) {
  try {
    return handle(Json::parse(line));
  } catch (const JsonError& e) {
    return makeReply(nullptr, Json(Json::Object{}), Json(Json::Array{}),
                     errorJson(badRequest(e.what())));
  }
}

namespace {

// Reads one line of at most `limit` bytes; the rest of a longer line is read and dropped, so
// that a host's runaway line costs neither the memory nor the lines after it. False at the end
// of input.
bool readLine(std::istream& in, std::string& line, std::size_t limit, bool& tooLong) {
  line.clear();
  tooLong = false;
  std::streambuf* buffer = in.rdbuf();
  bool any = false;
  for (;;) {
    const auto c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return any;
    }
    any = true;
    if (c == '\n') return true;
    if (line.size() < limit)
      line += static_cast<char>(c);
    else
      tooLong = true;
  }
}

}  // namespace

int Session::run(std::istream& in, std::ostream& out) {
  std::string line;
  bool tooLong = false;
  while (readLine(in, line, kMaxLineBytes, tooLong)) {
    if (tooLong) {
      out << makeReply(nullptr, Json(Json::Object{}), Json(Json::Array{}),
                       errorJson(badRequest("the line is longer than " +
                                            std::to_string(kMaxLineBytes) + " bytes")))
                 .dump()
          << '\n'
          << std::flush;
      continue;
    }
    // An empty line, or one of blanks only (a CR of a CRLF host), is a bad line like any other:
    // a host that sent it waits for its reply.
    const Json reply =
        line.find_first_not_of(" \t\r") == std::string::npos
            ? makeReply(nullptr, Json(Json::Object{}), Json(Json::Array{}),
                        errorJson(badRequest("the line is empty: each line must be a JSON object")))
            : handleLine(line);
    out << reply.dump() << '\n' << std::flush;
  }
  return 0;
}

}  // namespace solvard::tool
