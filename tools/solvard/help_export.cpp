#include "help_export.hpp"

#include <CLI/CLI.hpp>
#include <functional>
#include <iostream>
#include <sstream>

#include "commands.hpp"
#include "solvard/version.hpp"

namespace solvard::tool {
namespace {

std::vector<const CLI::App*> subcommandsOf(const CLI::App& app) {
  std::vector<const CLI::App*> shown;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (!sub->get_group().empty()) shown.push_back(sub);
  }
  return shown;
}

std::vector<const CLI::Option*> optionsOf(const CLI::App& app) {
  return app.get_options([](const CLI::Option* o) { return !o->get_group().empty(); });
}

// Each command's path with its node, the top first.
void walk(const CLI::App& app, const std::string& path,
          const std::function<void(const std::string&, const CLI::App&)>& visit) {
  visit(path, app);
  for (const CLI::App* sub : subcommandsOf(app)) {
    walk(*sub, path + " " + sub->get_name(), visit);
  }
}

std::string optionWords(const CLI::Option& option) {
  std::string words;
  for (const std::string& s : option.get_snames()) words += " -" + s;
  for (const std::string& l : option.get_lnames()) words += " --" + l;
  return words;
}

bool takesValue(const CLI::Option& option) { return option.get_type_size_max() > 0; }

// Roff treats a leading dot or quote as a request and a backslash as an escape.
std::string roff(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

}  // namespace

std::string bashCompletion(const CLI::App& app) {
  std::ostringstream out;
  out << "# bash completion for solvard " << version() << ", written by 'solvard docs'\n"
      << "declare -gA _solvard_subcommands=() _solvard_options=() _solvard_values=()\n";
  walk(app, "solvard", [&](const std::string& path, const CLI::App& node) {
    std::string subs, options, values;
    for (const CLI::App* sub : subcommandsOf(node)) subs += " " + sub->get_name();
    for (const CLI::Option* option : optionsOf(node)) {
      if (option->get_positional()) continue;
      options += optionWords(*option);
      if (takesValue(*option)) values += optionWords(*option);
    }
    out << "_solvard_subcommands[\"" << path << "\"]=\"" << subs << "\"\n"
        << "_solvard_options[\"" << path << "\"]=\"" << options << "\"\n"
        << "_solvard_values[\"" << path << "\"]=\"" << values << " \"\n";
  });
  out << R"bash(_solvard() {
  local cur="${COMP_WORDS[COMP_CWORD]}" prev="" path="solvard" word i
  [ "$COMP_CWORD" -gt 0 ] && prev="${COMP_WORDS[COMP_CWORD-1]}"
  for ((i = 1; i < COMP_CWORD; i++)); do
    word="${COMP_WORDS[i]}"
    if [[ " ${_solvard_subcommands[$path]} " == *" $word "* ]]; then
      path="$path $word"
    fi
  done
  if [[ "$prev" == -* && " ${_solvard_values[$path]} " == *" $prev "* ]]; then
    case "$prev" in
      -p|--port) COMPREPLY=($(compgen -f -- "$cur") $(compgen -W "$(ls /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/* 2>/dev/null)" -- "$cur")) ;;
      -d|--db|--lang|--link|--device) COMPREPLY=($(compgen -f -- "$cur")) ;;
      *) COMPREPLY=() ;;
    esac
    return
  fi
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "${_solvard_options[$path]}" -- "$cur"))
  else
    COMPREPLY=($(compgen -W "${_solvard_subcommands[$path]}" -- "$cur"))
  fi
}
complete -F _solvard solvard
)bash";
  return out.str();
}

std::string manualPage(const CLI::App& app) {
  std::ostringstream out;
  out << ".TH SOLVARD 1 \"\" \"solvard " << version() << "\" \"User Commands\"\n"
      << ".SH NAME\nsolvard \\- " << roff(app.get_description()) << "\n"
      << ".SH SYNOPSIS\n.B solvard\n[\\fB\\-\\-lang\\fR \\fIFILE.rc\\fR] \\fICOMMAND\\fR "
         "[\\fIACTION\\fR] [\\fIOPTIONS\\fR]\n"
      << ".SH DESCRIPTION\nEach terminal action runs one exchange with one terminal, addressed "
         "by its machine number, on the serial line \\fB\\-p\\fR names, and says what the "
         "terminal acknowledged; with \\fB\\-\\-json\\fR it prints one JSON object with the "
         "fields command, machine, ok, result, error (null or code, message, detail) and, for "
         "downloads, records and seconds. \\fB\\-\\-trace\\fR shows each byte sent and received "
         "on standard error. Downloads show their progress on standard error when it is a "
         "terminal.\n"
      << ".SH COMMANDS\n";
  walk(app, "solvard", [&](const std::string& path, const CLI::App& node) {
    if (path == "solvard") return;
    out << ".SS \"" << roff(path) << "\"\n" << roff(node.get_description()) << "\n";
    for (const CLI::Option* option : optionsOf(node)) {
      if (option->get_lnames().size() == 1 && option->get_lnames()[0] == "help") continue;
      std::string names;
      for (const std::string& s : option->get_snames()) names += "\\fB\\-" + roff(s) + "\\fR, ";
      for (const std::string& l : option->get_lnames()) names += "\\fB\\-\\-" + roff(l) + "\\fR, ";
      if (option->get_positional()) names = "\\fI" + roff(option->get_name()) + "\\fR, ";
      names.resize(names.size() - 2);
      out << ".TP\n" << names << "\n" << roff(option->get_description());
      if (option->get_required()) out << " (required)";
      if (!option->get_envname().empty()) out << " (default: $" << option->get_envname() << ")";
      out << "\n";
    }
  });
  out << ".SH ENVIRONMENT\n"
      << ".TP\n.B SOLVARD_PORT\nthe line when \\fB\\-p\\fR is not given\n"
      << ".TP\n.B SOLVARD_BAUD\nthe baud rate when \\fB\\-b\\fR is not given (else 9600)\n"
      << ".TP\n.B SOLVARD_DB\nthe database of the downloads when \\fB\\-d\\fR is not given\n"
      << ".TP\n.B XDG_STATE_HOME\nwhere access records the database refused are kept until "
         "the next download writes them (solvard/pending\\-access\\-records; else "
         "~/.local/state)\n"
      << ".SH EXIT STATUS\n"
      << ".TP\n.B 0\nthe terminal acknowledged, or the records were downloaded, or the terminal "
         "holds none\n"
      << ".TP\n.B 1\nthe terminal or the line failed\n"
      << ".TP\n.B 2\na usage error: a word or a value the terminals cannot honour; nothing was "
         "sent\n"
      << ".TP\n.B 3\nthe database failed\n"
      << ".SH EXAMPLES\n.nf\n"
      << "solvard door open \\-m 3 \\-p /dev/ttyUSB0\n"
      << "solvard attend download \\-m 1 \\-p /dev/ttyUSB0 \\-d attend.db \\-\\-json\n"
      << "solvard ports\n.fi\n";
  return out.str();
}

void addDocsCommand(CLI::App& app, int& status) {
  static bool bash = false, man = false;
  CLI::App* docs = app.add_subcommand("docs", "write the shell completion or the manual page");
  docs->group("");  // for the build, not for operators
  auto* bashFlag = docs->add_flag("--bash-completion", bash, "the bash completion script");
  auto* manFlag = docs->add_flag("--man", man, "the manual page, solvard(1)");
  bashFlag->excludes(manFlag);
  docs->callback([&app, &status] {
    if (!bash && !man) throw CLI::ValidationError("docs", "give --bash-completion or --man");
    std::cout << (bash ? bashCompletion(app) : manualPage(app));
    status = kExitOk;
  });
}

}  // namespace solvard::tool
