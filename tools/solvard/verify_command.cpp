#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "collect_config.hpp"
#include "collect_schema.hpp"
#include "commands.hpp"
#include "db/odbc_connection.hpp"
#include "pending_file.hpp"
#include "verify_check.hpp"

namespace solvard::tool {
namespace {

using json = nlohmann::ordered_json;

struct VerifyWords {
  std::string config;
  bool json = false;
};

std::string terminalLabel(const TerminalCheck& t) {
  std::string label =
      "line " + t.line + " " + kindName(t.kind) + " terminal " + std::to_string(t.machine);
  if (!t.name.empty()) label += " (" + t.name + ")";
  return label;
}

json verifyJson(const std::vector<TerminalCheck>& checks, int incomplete) {
  json terminals = json::array();
  for (const TerminalCheck& t : checks) {
    json gaps = json::array();
    for (const VerifyGap& gap : t.gaps) {
      gaps.push_back({{"pass", gap.pass.empty() ? json(nullptr) : json(gap.pass)},
                      {"cause", gap.cause},
                      {"missing", gap.missing},
                      {"detail", gap.detail}});
    }
    terminals.push_back({{"line", t.line},
                         {"kind", kindName(t.kind)},
                         {"machine", t.machine},
                         {"name", t.name.empty() ? json(nullptr) : json(t.name)},
                         {"complete", t.complete()},
                         {"passes", t.passes},
                         {"given", t.given},
                         {"stored", t.stored},
                         {"already_stored", t.alreadyStored},
                         {"kept", t.kept},
                         {"from_kept", t.fromKept},
                         {"rows", t.rows},
                         {"earlier_rows", t.earlierRows},
                         {"kept_waiting", t.keptWaiting},
                         {"missing", t.missing},
                         {"gaps", gaps}});
  }
  json out = json::object();
  out["command"] = "verify";
  out["machine"] = nullptr;
  out["ok"] = incomplete == 0;
  out["result"] = {{"terminals", terminals}};
  if (incomplete == 0) {
    out["error"] = nullptr;
  } else {
    out["error"] = {{"code", "records_missing"},
                    {"message", "records a terminal gave are not stored once"},
                    {"detail", std::to_string(incomplete) + " of " + std::to_string(checks.size()) +
                                   " terminals"}};
  }
  return out;
}

std::string verifyText(const std::vector<TerminalCheck>& checks, int incomplete) {
  std::string text;
  for (const TerminalCheck& t : checks) {
    text += terminalLabel(t) + ": " + std::to_string(t.given) + " records given in " +
            std::to_string(t.passes) + " passes, " + std::to_string(t.stored) + " stored, " +
            std::to_string(t.alreadyStored) + " found stored, " + std::to_string(t.kept) +
            " kept; ";
    if (!t.complete()) {
      text += t.unreadable ? "the kept records cannot be read"
                           : std::to_string(t.missing) + " missing or stored twice";
    } else {
      text += "every record stored once";
    }
    text += "\n";
    for (const VerifyGap& gap : t.gaps) {
      text += "  " + (gap.pass.empty() ? std::string("kept records") : "pass " + gap.pass) + ": " +
              gap.detail + "\n";
    }
  }
  if (incomplete == 0) {
    text += "verified: every record the " + std::to_string(checks.size()) +
            " terminals gave is stored once or kept for the next pass\n";
  } else {
    text += "not verified: records are missing or stored twice on " + std::to_string(incomplete) +
            " of " + std::to_string(checks.size()) + " terminals\n";
  }
  return text;
}

int verify(const VerifyWords& words) {
  CollectConfig config;
  try {
    config = readCollectConfig(words.config);
  } catch (const ConfigError& e) {
    std::cerr << "solvard verify: " << e.what() << "\n";
    return kExitUsage;
  }
  auto connection = db::makeOdbcConnection();
  std::string problem;
  if (connection->Open(config.database) != db::Outcome::kOk) {
    problem = "the database does not open: " + connection->lastDiagnostic().text();
  }
  std::optional<std::vector<TerminalCheck>> checks;
  if (problem.empty()) {
    checks = verifyCollected(config, *connection, *userPendingFile(), problem);
    if (!checks) problem = "the collector's tables cannot be read: " + problem;
  }
  if (!checks) {
    std::cerr << "solvard verify: " << problem << "\n";
    if (words.json) {
      std::cout << json{{"command", "verify"},
                        {"machine", nullptr},
                        {"ok", false},
                        {"result", nullptr},
                        {"error",
                         {{"code", "database_unavailable"},
                          {"message", "the database cannot be opened, or the table cannot be used"},
                          {"detail", problem}}}}
                       .dump(-1, ' ', false, json::error_handler_t::replace)
                << "\n";
    }
    return kExitDatabase;
  }
  int incomplete = 0;
  for (const TerminalCheck& check : *checks) incomplete += check.complete() ? 0 : 1;
  if (words.json) {
    std::cout
        << verifyJson(*checks, incomplete).dump(-1, ' ', false, json::error_handler_t::replace)
        << "\n";
  } else {
    std::cout << verifyText(*checks, incomplete);
  }
  return incomplete == 0 ? kExitOk : kExitFailed;
}

}  // namespace

void addVerifyCommand(CLI::App& app, int& status) {
  auto words = std::make_shared<VerifyWords>();
  CLI::App* command = app.add_subcommand(
      "verify", "check from the ledger that every record the terminals gave is stored once");
  command->add_option("-c,--config", words->config, "the collector's TOML config")
      ->required()
      ->option_text("FILE");
  command->add_flag("--json", words->json, "print one JSON object");
  command->footer(
      "Exit status: 0 every record is stored once or kept for the next pass, 1 records are "
      "missing or stored twice, 2 a usage or config error, 3 the database cannot be read.");
  command->callback([words, &status] { status = verify(*words); });
}

}  // namespace solvard::tool
