#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
class ParseError;
}  // namespace CLI

// How every `solvard` command reads its words: one option reader, the same help and the same
// one-line usage errors everywhere.
namespace solvard::tool {

// Help on standard output, `--opt=value` and `--opt value`, the same layout everywhere. Applied
// to the top command; subcommands take it over when they are added.
void configureApp(CLI::App& app);

// Help and --version: printed on standard output, 0. A usage error: one line on standard error
// naming the bad word and where help is, 2.
int reportParseError(CLI::App& app, const CLI::ParseError& error);

}  // namespace solvard::tool
