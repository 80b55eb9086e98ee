#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <memory>

#include "commands.hpp"
#include "ports_output.hpp"
#include "serial_device_list.hpp"

namespace solvard::tool {
namespace {

struct PortsOptions {
  bool json = false;
  std::string root = "/";
};

// Whether this user may open each line, asked of the kernel without opening the line (a
// terminal on it sees nothing). Only on the machine's own tree: under another root the
// device files are not the machine's lines.
void noteAccess(std::vector<SerialDevice>& devices) {
  for (SerialDevice& device : devices) {
    device.access = ::access(device.device.c_str(), R_OK | W_OK) == 0;
  }
}

int runPorts(const PortsOptions& options) {
  std::vector<SerialDevice> devices;
  std::string problem;
  if (!listSerialDevices(options.root, devices, problem)) {
    if (options.json) {
      std::cout << portsErrorJson(problem);
    } else {
      std::cerr << "solvard ports: " << problem << "\n";
    }
    return kExitFailed;
  }
  if (std::filesystem::path(options.root).lexically_normal() == "/") noteAccess(devices);
  std::cout << (options.json ? portsJson(devices) : portsText(devices));
  return kExitOk;
}

}  // namespace

void addPortsCommand(CLI::App& app, int& status) {
  CLI::App* sub = app.add_subcommand(
      "ports", "list this machine's serial lines, with the driver and USB adapter behind each");
  sub->footer(
      "A line's by-id name stays the same when the adapter moves to another USB socket.\n"
      "ACCESS says whether this user may open the line; when not, 'ls -l DEVICE' shows the "
      "group that may (often dialout).\n"
      "Exit status: 0 listed (also when there is none), 1 the machine's device folders cannot "
      "be read, 2 a usage error.");
  auto options = std::make_shared<PortsOptions>();
  sub->add_flag("--json", options->json,
                "print one JSON object: command, machine, ok, result (one object a line), error");
  // Tests list a tree of the kernel's folders built in a temporary folder.
  sub->add_option("--root", options->root, "read the machine's folders below DIR")
      ->option_text("DIR")
      ->group("");
  sub->callback([options, &status] { status = runPorts(*options); });
}

}  // namespace solvard::tool
