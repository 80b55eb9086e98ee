#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "command_line.hpp"
#include "commands.hpp"
#include "help_export.hpp"
#include "host_language.hpp"
#include "solvard/version.hpp"

namespace {

// The language module comes first on the command line, so the operator's messages are in it
// before any command reads its options.
std::string languageFileOf(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--lang") return argv[2];
  if (argc >= 2 && std::string(argv[1]).starts_with("--lang="))
    return std::string(argv[1]).substr(7);
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace solvard::tool;
  if (const auto failed = installHostLanguage(languageFileOf(argc, argv))) {
    std::cerr << "solvard: --lang: " << *failed << "\n";
    return kExitUsage;
  }

  CLI::App app{"Drives attendance and access-control terminals on a serial line.", "solvard"};
  configureApp(app);
  app.set_version_flag("--version", std::string("solvard ") + solvard::version());
  app.require_subcommand(1);
  std::string languageFile;
  app.add_option("--lang", languageFile,
                 "take the operator's messages from this language module (FILE.rc), given "
                 "before the command")
      ->option_text("FILE.rc");

  int status = kExitOk;
  addInterfaceCommand(app, status);
  addSessionCommand(app, status);
  addInvokeCommand(app, status);
  addSimulateCommand(app, status);
  addAttendCommand(app, status);
  addClockCommand(app, status);
  addDoorCommand(app, status);
  addDemoCommand(app, status);
  addPortsCommand(app, status);
  addCollectCommand(app, status);
  addServeCommand(app, status);
  addScanCommand(app, status);
  addVerifyCommand(app, status);
  addDocsCommand(app, status);
  app.footer(
      "Exit status: 0 done (the terminal acknowledged, or the records were downloaded), 1 the "
      "terminal or the line failed, 2 a usage error, 3 the database failed.\n"
      "Run 'solvard COMMAND --help' for a command's options.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return reportParseError(app, e);
  }
  return status;
}
