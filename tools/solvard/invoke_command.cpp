#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.hpp"
#include "component/interface_table.hpp"
#include "port_ops.hpp"
#include "reply_text.hpp"
#include "session.hpp"
#include "ui/host_reports.hpp"

namespace solvard::tool {

namespace {

void usage() {
  std::cerr << "usage: solvard invoke CLASS MEMBER [ARG ...] [--set PROP=VALUE ...] [--port N|PATH]"
               " [--json]\n"
               "  One call on a fresh object of CLASS (Attend or Prohibit). Arguments are text,\n"
               "  converted to the member's parameter types. Exit status 0 when the call\n"
               "  completed, 1 when it failed as an automation error, 2 for a usage error.\n";
}

Json argJson(const std::string& text) { return Json(text); }

// With --json the log lines are the reply's "log" array; in words they go to standard error as
// the library writes them for a host without a log sink, so that standard output stays the
// call's outcome.
void report(const Json& reply, bool json) {
  if (!json) {
    for (const Json& line : reply.find("log")->asArray()) ui::logAsLine(std::cerr, line.asString());
  }
  printReply(std::cout, reply, json);
}

}  // namespace

int invokeCommand(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> lets;
  std::string port;
  bool json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      json = true;
    } else if (a == "--set" || a == "--port") {
      if (i + 1 >= args.size()) {
        usage();
        return kExitUsage;
      }
      const std::string& value = args[++i];
      if (a == "--port") {
        port = value;
        continue;
      }
      size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) {
        std::cerr << "solvard invoke: --set takes PROP=VALUE, not \"" << value << "\"\n";
        return kExitUsage;
      }
      lets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (a == "--help" || a == "-h") {
      usage();
      return kExitOk;
    } else if (a.rfind("--", 0) == 0) {
      std::cerr << "solvard invoke: unknown option " << a << "\n";
      usage();
      return kExitUsage;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() < 2) {
    usage();
    return kExitUsage;
  }
  const component::InterfaceInfo* info = component::findInterfaceByClass(positional[0]);
  if (info == nullptr) {
    std::cerr << "solvard invoke: no class \"" << positional[0] << "\" (Attend or Prohibit)\n";
    return kExitUsage;
  }
  const std::string& memberName = positional[1];
  std::vector<std::string> callArgs(positional.begin() + 2, positional.end());

  std::string op = "call";
  if (!component::findMember(*info, memberName, component::MemberKind::Method)) {
    bool hasGet = component::findMember(*info, memberName, component::MemberKind::PropertyGet);
    bool hasLet = component::findMember(*info, memberName, component::MemberKind::PropertyLet);
    if (callArgs.empty() && hasGet)
      op = "get";
    else if (callArgs.size() == 1 && hasLet)
      op = "let";
    else {
      std::cerr << "solvard invoke: " << info->className << " has no member \"" << memberName
                << "\" taking " << callArgs.size() << " argument(s); see solvard interface\n";
      return kExitUsage;
    }
  }

  Session session;
  Json reply = session.handle(
      Json(Json::Object{{"op", "create"}, {"class", std::string(info->className)}, {"id", "o"}}));
  auto failedSetup = [&](const Json& r) {
    if (r.find("error")->isNull()) return false;
    report(r, json);
    return true;
  };
  if (!port.empty()) {
    std::string problem;
    int16_t number = 0;
    if (!resolvePortOption(port, number, problem)) {
      std::cerr << "solvard invoke: " << problem << "\n";
      return kExitUsage;
    }
    lets.insert(lets.begin(), {"CommPortID", std::to_string(number)});
  }
  for (const auto& [prop, value] : lets) {
    reply = session.handle(Json(
        Json::Object{{"op", "let"}, {"id", "o"}, {"member", prop}, {"value", argJson(value)}}));
    if (failedSetup(reply)) return kExitFailed;
  }
  Json request(Json::Object{{"op", op}, {"id", "o"}, {"member", memberName}});
  if (op == "let") {
    request.set("value", argJson(callArgs[0]));
  } else {
    Json::Array list;
    for (const std::string& a : callArgs) list.push_back(argJson(a));
    request.set("args", Json(std::move(list)));
  }
  reply = session.handle(request);
  report(reply, json);
  return reply.find("error")->isNull() ? kExitOk : kExitFailed;
}

}  // namespace solvard::tool

namespace solvard::tool {

void addInvokeCommand(CLI::App& app, int& status) {
  struct Words {
    std::string className, member, port;
    std::vector<std::string> args, lets;
    bool json = false;
  };
  static Words words;
  CLI::App* invoke = app.add_subcommand("invoke", "one call on a fresh object of a class");
  invoke->add_option("CLASS", words.className, "Attend or Prohibit")->required();
  invoke->add_option("MEMBER", words.member, "the method or property")->required();
  invoke->add_option("ARG", words.args, "the arguments, as text");
  invoke->add_option("--set", words.lets, "a property let first, PROP=VALUE")
      ->option_text("PROP=VALUE");
  invoke->add_option("-p,--port", words.port, "the port number or device path");
  invoke->add_flag("--json", words.json, "the reply as one JSON object");
  invoke->footer(
      "Exit status: 0 the call completed, 1 it failed as an automation error, 2 a usage error.");
  invoke->callback([&status] {
    std::vector<std::string> args{words.className, words.member};
    args.insert(args.end(), words.args.begin(), words.args.end());
    for (const std::string& let : words.lets) {
      args.push_back("--set");
      args.push_back(let);
    }
    if (!words.port.empty()) {
      args.push_back("--port");
      args.push_back(words.port);
    }
    if (words.json) args.push_back("--json");
    status = invokeCommand(args);
  });
}

}  // namespace solvard::tool
