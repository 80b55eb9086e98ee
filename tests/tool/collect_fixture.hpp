#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "db/database_fixture.hpp"
#include "run_command.hpp"
#include "simulate_process.hpp"

// What the collector's tests share: a folder and a state folder of the test's own, a config
// written there, `solvard collect` run on it with a bounded wait or in the background, and its
// JSON pass read back.
namespace solvard::tool::testing {

namespace fs = std::filesystem;

// A line of a config: its name, port and terminals as "attend:1", "door:3", or
// "attend:1:after-commit" with a clear policy.
struct ConfigLine {
  std::string name;
  std::string port;
  std::vector<std::string> terminals;
  int baud = 9600;
};

class CollectFolder {
 public:
  explicit CollectFolder(const std::string& kind) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "-" + test->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    path_ = fs::temp_directory_path() /
            ("solvard-" + kind + "-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(path_);
    fs::create_directories(path_);
    env_["XDG_STATE_HOME"] = (path_ / "state").string();
  }
  ~CollectFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  CollectFolder(const CollectFolder&) = delete;
  CollectFolder& operator=(const CollectFolder&) = delete;

  const fs::path& path() const { return path_; }
  const std::map<std::string, std::string>& env() const { return env_; }

  // Writes a config of `lines` into `database` and gives its path.
  std::string config(const std::string& database, const std::vector<ConfigLine>& lines,
                     const std::string& file = "collect.toml") const {
    std::string text = "database = \"" + database + "\"\n";
    for (const ConfigLine& line : lines) {
      text += "[[line]]\nname = \"" + line.name + "\"\nport = \"" + line.port +
              "\"\nbaud = " + std::to_string(line.baud) + "\n";
      for (const std::string& terminal : line.terminals) {
        const std::size_t colon = terminal.find(':');
        const std::size_t clear = terminal.find(':', colon + 1);
        text += "[[line.terminal]]\nkind = \"" + terminal.substr(0, colon) +
                "\"\nmachines = " + terminal.substr(colon + 1, clear - colon - 1) + "\n";
        if (clear != std::string::npos) text += "clear = \"" + terminal.substr(clear + 1) + "\"\n";
      }
    }
    const fs::path path = path_ / file;
    std::ofstream(path) << text;
    return path.string();
  }

  // One pass, its JSON object (null when the output is none).
  CommandRun collect(const std::string& config, nlohmann::json& pass,
                     std::chrono::seconds limit = std::chrono::seconds(60)) const {
    CommandRun run =
        runCommand(SOLVARD_PROGRAM, {"collect", "--config", config, "--json"}, env_, limit);
    pass = nlohmann::json::parse(run.out, nullptr, false);
    return run;
  }

  // `solvard collect` with `args` in the background. It takes this process's environment, so its
  // state folder is set to the test's own while it starts.
  std::unique_ptr<SimulateProcess> startCollector(const std::vector<std::string>& args) const {
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::optional<std::string> before =
        saved == nullptr ? std::nullopt : std::optional<std::string>(saved);
    ::setenv("XDG_STATE_HOME", env_.at("XDG_STATE_HOME").c_str(), 1);
    auto process = std::make_unique<SimulateProcess>(args, Input::DevNull, "collect");
    if (before) {
      ::setenv("XDG_STATE_HOME", before->c_str(), 1);
    } else {
      ::unsetenv("XDG_STATE_HOME");
    }
    return process;
  }

 private:
  fs::path path_;
  std::map<std::string, std::string> env_;
};

// "A/attend/1:2" for each terminal of a pass's JSON object, and "!code" when it failed.
inline std::string terminalsOf(const nlohmann::json& pass) {
  if (!pass.is_object()) return "no pass";
  std::string text;
  for (const auto& t : pass["result"]["terminals"]) {
    text += t["line"].get<std::string>() + "/" + t["kind"].get<std::string>() + "/" +
            std::to_string(t["machine"].get<int>()) + ":" + std::to_string(t["records"].get<int>());
    if (!t["error"].is_null()) text += "!" + t["error"]["code"].get<std::string>();
    text += " ";
  }
  return text;
}

// Both database engines, for a suite that runs each case into each.
inline auto bothEngines() {
  return ::testing::Values(db::testing::Engine::kSqlite, db::testing::Engine::kPostgresql);
}

// A test's name for an (engine, case) parameter: the engine, then the case's own name, as in
// "SqliteDoorRecordCutShort".
struct EngineAndCaseName {
  template <typename Case>
  std::string operator()(
      const ::testing::TestParamInfo<std::tuple<db::testing::Engine, Case>>& info) const {
    return std::string(std::get<0>(info.param) == db::testing::Engine::kSqlite ? "Sqlite"
                                                                               : "Postgresql") +
           std::get<1>(info.param).name;
  }
};

}  // namespace solvard::tool::testing
