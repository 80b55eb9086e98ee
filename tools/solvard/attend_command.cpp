#include <iostream>

#include "attend/mac_values.hpp"
#include "attend_download.hpp"
#include "attend_options.hpp"
#include "automation/error.hpp"
#include "command_line.hpp"
#include "commands.hpp"

namespace solvard::tool {
namespace {

using automation::Variant;

void usage(std::ostream& out) {
  out << "usage: solvard attend ACTION --machine M --port N|PATH [--baud N] [VALUES]\n"
         "  One command to attendance terminal M on the line at --port (a port number, 1 is\n"
         "  /dev/ttyS0, or a device path), at --baud (default 9600):\n"
         "    clear-records                        clear the records the terminal stores\n"
         "    clear-cards                          clear the terminal's card list\n"
         "    delete-card --card C                 delete card C (up to six digits)\n"
         "    flow --flow F --original O           give the card with original number O (up\n"
         "                                         to ten digits) the flow number F (up to six)\n"
         "    card-number                          read the terminal's original card number\n"
         "    download --db FILE|CONNECTION        download the terminal's records into the\n"
         "                                         tables WorkCardSource and WorkCardReadTime\n"
         "                                         of an SQLite file (tables made if missing)\n"
         "                                         or of the database a connection text names\n"
         "  Shorter numbers are padded with leading zeros. Exit status 0 when the terminal\n"
         "  acknowledged (or gave the card number, or its records, or holds none), 1 when it\n"
         "  did not, 2 for a usage error.\n"
         "  See also: solvard clock set.\n";
}

int usageError(const std::string& problem) {
  std::cerr << "solvard attend: " << problem << "\n";
  usage(std::cerr);
  return kExitUsage;
}

// A card, flow or original number is sent as exactly so many digits; the library refuses any
// other, so it is caught here with the reason.
bool digitsFit(const AttendOptions& options, const std::string& option, std::size_t width,
               std::string& problem) {
  const std::string& text = options.values.at(option);
  if (attend::namesDigits(Variant(text), width)) return true;
  problem =
      option + " takes up to " + std::to_string(width) + " decimal digits, not \"" + text + "\"";
  return false;
}

struct Action {
  const char* name;
  std::set<std::string> values;  // the options the action requires
};

const Action kActions[] = {{"clear-records", {}},       {"clear-cards", {}},
                           {"delete-card", {"--card"}}, {"flow", {"--flow", "--original"}},
                           {"card-number", {}},         {"download", {"--db"}}};

int run(const std::string& action, const AttendOptions& options, component::Attend& object) {
  OperatorMessages messages;
  const int16_t machine = options.machine;
  if (action == "download") return attendDownload(options, object);
  if (action == "card-number") {
    const std::string card = object.GetOriginalCardNo(machine);
    if (card.empty()) {
      std::cout << "terminal " << machine << " gave no card number: "
                << messageWords(messages, "no reply, or a reply from another terminal") << "\n";
      return kExitFailed;
    }
    std::cout << "terminal " << machine << ": original card number " << card << "\n";
    return kExitOk;
  }
  int32_t result = 0;
  std::string done;
  if (action == "clear-records") {
    result = object.ClearMacData(machine);
    done = "stored records cleared";
  } else if (action == "clear-cards") {
    int16_t funcId = 0;  // the terminal's command takes no function number
    result = object.ClearListInMac(machine, funcId);
    done = "card list cleared";
  } else if (action == "delete-card") {
    int16_t machineNo = machine;
    result = object.DelCardNo(machineNo, Variant(options.values.at("--card")));
    done = "card " +
           automation::toText(attend::padded(Variant(options.values.at("--card")), "000000")) +
           " deleted";
  } else {
    const std::string& flow = options.values.at("--flow");
    const std::string& original = options.values.at("--original");
    result = object.SetCardFlowNo(machine, flow, original);
    done = "card " + automation::toText(attend::padded(Variant(original), "0000000000")) +
           " given flow number " + automation::toText(attend::padded(Variant(flow), "000000"));
  }
  return reportAcknowledgement(std::cout, options, result, messages, done);
}

}  // namespace

int attendCommand(const std::vector<std::string>& args) {
  if (args.empty()) return usageError("name an action");
  if (args[0] == "--help" || args[0] == "-h") {
    usage(std::cout);
    return kExitOk;
  }
  const Action* action = nullptr;
  for (const Action& a : kActions) {
    if (args[0] == a.name) action = &a;
  }
  if (action == nullptr) return usageError("no action \"" + args[0] + "\"");

  AttendOptions options;
  std::string problem;
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (!parseAttendOptions(rest, action->values, {}, options, problem)) return usageError(problem);
  for (const std::string& value : action->values) {
    if (!options.values.contains(value)) return usageError(value + " is required");
  }
  if (options.values.contains("--card") && !digitsFit(options, "--card", 6, problem)) {
    return usageError(problem);
  }
  if (options.values.contains("--flow") && (!digitsFit(options, "--flow", 6, problem) ||
                                            !digitsFit(options, "--original", 10, problem))) {
    return usageError(problem);
  }

  try {
    std::unique_ptr<component::Attend> object = attendObjectFor(options, problem);
    if (!object) return usageError(problem);
    return run(action->name, options, *object);
  } catch (const automation::AutomationError& e) {
    std::cout << "error " << e.number() << ": " << e.description() << "\n";
    return kExitFailed;
  }
}

}  // namespace solvard::tool

namespace solvard::tool {

void addAttendCommand(CLI::App& app, int& status) {
  addWordListCommand(app, "attend", "drive an attendance terminal", attendCommand, status);
}

}  // namespace solvard::tool
