#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "action_report.hpp"
#include "line_options.hpp"

namespace solvard::tool {

// An action of a terminal command (`door open`) and the words it reads.
template <typename Words>
struct Action {
  CLI::App* command;
  Words* words;
};

// Gives a function that adds an action to `group`: the line options, and a callback that runs
// `run(name, words)` and prints its report. Each action reads into words of its own: the option
// reader fills the defaults of every action, the environment's included, not only of the one
// chosen.
template <typename Words, typename Run>
auto actionAdder(CLI::App& group, int& status, Run run) {
  return [&group, &status, run](const std::string& name, const std::string& description) {
    auto words = std::make_shared<Words>();
    CLI::App* command = group.add_subcommand(name, description);
    addLineOptions(*command, words->line);
    command->callback(
        [name, words, &status, run] { status = finish(run(name, *words), words->line.json); });
    return Action<Words>{command, words.get()};
  };
}

}  // namespace solvard::tool
