#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "commands.hpp"
#include "component/interface_table.hpp"
#include "json.hpp"

namespace solvard::tool {

using component::InterfaceInfo;
using component::Member;

namespace {

std::string dispidText(uint32_t dispid) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(dispid));
  return buf;
}

Json memberJson(const Member& m) {
  Json::Array params;
  for (const component::Param& p : m.params) {
    params.push_back(Json(Json::Object{{"name", Json(std::string(p.name))},
                                       {"type", Json(std::string(paramTypeName(p.type)))},
                                       {"direction", Json(p.byRef ? "in/out" : "in")}}));
  }
  return Json(Json::Object{{"slot", Json(m.slot)},
                           {"dispid", Json(dispidText(m.dispid))},
                           {"name", Json(std::string(m.name))},
                           {"kind", Json(std::string(memberKindName(m.kind)))},
                           {"params", Json(std::move(params))},
                           {"returns", Json(std::string(paramTypeName(m.returns)))}});
}

Json interfaceJson(const InterfaceInfo& info) {
  Json::Array members;
  for (const Member& m : info.members) members.push_back(memberJson(m));
  return Json(Json::Object{{"name", Json(std::string(info.name))},
                           {"class", Json(std::string(info.className))},
                           {"progid", Json(std::string(info.progId))},
                           {"iid", Json(std::string(info.iid))},
                           {"clsid", Json(std::string(info.clsid))},
                           {"version", Json(std::string(info.version))},
                           {"members", Json(std::move(members))}});
}

void printTable(const InterfaceInfo& info) {
  std::cout << info.name << " (class " << info.className << ", " << info.progId << ")\n";
  for (const Member& m : info.members) {
    std::cout << "  " << m.slot << "  " << dispidText(m.dispid) << "  " << m.name << " ["
              << memberKindName(m.kind) << "]";
    if (!m.params.empty()) {
      std::cout << " (";
      for (size_t i = 0; i < m.params.size(); ++i) {
        if (i) std::cout << ", ";
        std::cout << m.params[i].name << ": " << paramTypeName(m.params[i].type)
                  << (m.params[i].byRef ? " in/out" : "");
      }
      std::cout << ")";
    }
    if (m.returns != component::ParamType::Void) std::cout << " -> " << paramTypeName(m.returns);
    std::cout << "\n";
  }
}

}  // namespace

int interfaceCommand(const std::vector<std::string>& args) {
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else {
      std::cerr << "solvard interface: unknown option " << a
                << "\nusage: solvard interface [--json]\n";
      return kExitUsage;
    }
  }
  if (json) {
    Json::Array all;
    for (const InterfaceInfo* info : component::allInterfaces())
      all.push_back(interfaceJson(*info));
    std::cout << Json(std::move(all)).dump() << "\n";
  } else {
    for (const InterfaceInfo* info : component::allInterfaces()) printTable(*info);
  }
  return kExitOk;
}

}  // namespace solvard::tool

namespace solvard::tool {

void addInterfaceCommand(CLI::App& app, int& status) {
  static bool json = false;
  CLI::App* interface =
      app.add_subcommand("interface", "the interfaces of Attend and Prohibit, member by member");
  interface->add_flag("--json", json, "one JSON array of both interfaces");
  interface->callback([&status] {
    status =
        interfaceCommand(json ? std::vector<std::string>{"--json"} : std::vector<std::string>{});
  });
}

}  // namespace solvard::tool
