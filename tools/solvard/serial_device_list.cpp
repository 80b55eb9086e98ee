#include "serial_device_list.hpp"

#include <algorithm>
#include <cctype>
#include <map>

#include "rooted_tree.hpp"

namespace solvard::tool {
namespace {

const std::string kTtyFolder = "/sys/class/tty";
const std::string kByIdFolder = "/dev/serial/by-id";
const std::string kDevicesFolder = "/sys/devices/";

// More lines or names than any machine has: a folder that holds more is not read further.
constexpr std::size_t kMaxEntries = 4096;
// A number attribute (a port type, an id) is a few bytes.
constexpr std::size_t kMaxNumberBytes = 32;
// A USB string is at most 126 UTF-16 units, 378 bytes of UTF-8.
constexpr std::size_t kMaxStringBytes = 512;
// Folders between a line's device and the USB device it belongs to, with room to spare (hubs).
constexpr int kMaxDepth = 24;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "ttyUSB0": "tty", a family of letters, a number. Leaves out the virtual consoles (tty1), the
// console and ptmx.
bool isLineName(std::string_view name) {
  if (name.size() > 32 || !name.starts_with("tty")) return false;
  std::size_t at = 3;
  while (at < name.size() && isLetter(name[at])) ++at;
  if (at == 3 || at == name.size()) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(at), name.end(), isDigit);
}

std::string parentOf(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

// The 8250 driver makes a ttyS port for every legacy port whether or not a UART answers there;
// those without one have the port type 0 (unknown). A port whose type does not read as a number
// is left out too, since nothing says a UART is there.
bool isPlaceholder(const RootedTree& tree, const std::string& line) {
  const std::string typeFile = line + "/type";
  if (!tree.exists(typeFile)) return false;  // not a serial-core port: a USB line
  const std::optional<std::string> type = tree.value(typeFile, kMaxNumberBytes);
  if (!type || type->empty() || type->size() > 4 ||
      !std::all_of(type->begin(), type->end(), isDigit)) {
    return true;
  }
  return std::stoi(*type) == 0;
}

// The driver of the line's device. Since Linux 6.5 a serial-core port sits on the serial-base bus
// between the tty and the hardware, with the drivers "port" and "ctrl" that tell the operator
// nothing; the hardware's driver is on the first device above them.
std::string driverOf(const RootedTree& tree, std::string device) {
  for (int depth = 0; depth < kMaxDepth && device.starts_with(kDevicesFolder); ++depth) {
    if (tree.linkName(device + "/subsystem") != "serial-base") {
      return tree.linkName(device + "/driver").value_or("");
    }
    device = parentOf(device);
  }
  return "";
}

// The USB device folder (the one that holds idVendor) above a line's device, if any.
std::optional<std::string> usbDeviceOf(const RootedTree& tree, std::string device) {
  for (int depth = 0; depth < kMaxDepth && device.starts_with(kDevicesFolder); ++depth) {
    if (tree.exists(device + "/idVendor")) return device;
    device = parentOf(device);
  }
  return std::nullopt;
}

std::optional<std::string> hexId(const RootedTree& tree, const std::string& file) {
  std::optional<std::string> text = tree.value(file, kMaxNumberBytes);
  if (!text || text->size() != 4 || !std::all_of(text->begin(), text->end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return std::nullopt;
  }
  std::transform(text->begin(), text->end(), text->begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  return text;
}

// A string the USB device reports, shown on one line: control bytes become '?'.
std::optional<std::string> deviceString(const RootedTree& tree, const std::string& file) {
  std::optional<std::string> text = tree.value(file, kMaxStringBytes);
  if (!text || text->empty()) return std::nullopt;
  for (char& c : *text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) c = '?';
  }
  return text;
}

std::string kindOf(std::string_view name, bool onUsb) {
  if (name.starts_with("ttyUSB")) return "usb";
  if (name.starts_with("ttyACM")) return "acm";
  return onUsb ? "usb" : "uart";
}

std::optional<SerialDevice> deviceOf(const RootedTree& tree, const std::string& name) {
  const std::string line = kTtyFolder + "/" + name;
  // A tty without a device behind it is virtual (a console, a pseudo-terminal).
  const std::optional<std::string> device = tree.resolve(line + "/device");
  if (!device || isPlaceholder(tree, line)) return std::nullopt;

  SerialDevice found;
  found.device = "/dev/" + name;
  found.driver = driverOf(tree, *device);
  const std::optional<std::string> usb = usbDeviceOf(tree, *device);
  found.kind = kindOf(name, usb.has_value());
  if (usb) {
    found.vendorId = hexId(tree, *usb + "/idVendor");
    found.productId = hexId(tree, *usb + "/idProduct");
    found.manufacturer = deviceString(tree, *usb + "/manufacturer");
    found.product = deviceString(tree, *usb + "/product");
    found.serial = deviceString(tree, *usb + "/serial");
  }
  return found;
}

// The by-id names, by the line name they lead to.
std::map<std::string, std::vector<std::string>> byIdNames(const RootedTree& tree) {
  std::map<std::string, std::vector<std::string>> names;
  for (const std::string& entry : tree.names(kByIdFolder, kMaxEntries)) {
    const std::optional<std::string> target = tree.resolve(kByIdFolder + "/" + entry);
    if (!target || !target->starts_with("/dev/")) continue;
    const std::string line = target->substr(5);
    if (isLineName(line)) names[line].push_back(kByIdFolder + "/" + entry);
  }
  return names;
}

}  // namespace

bool naturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      std::size_t endA = i;
      while (endA < a.size() && isDigit(a[endA])) ++endA;
      std::size_t endB = j;
      while (endB < b.size() && isDigit(b[endB])) ++endB;
      std::string_view x = a.substr(i, endA - i);
      std::string_view y = b.substr(j, endB - j);
      x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
      y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = endA;
      j = endB;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if ((i == a.size()) != (j == b.size())) return i == a.size();
  return a < b;  // "ttyS01" and "ttyS1" still come in one order
}

bool listSerialDevices(const std::filesystem::path& root, std::vector<SerialDevice>& devices,
                       std::string& problem) {
  const RootedTree tree(root);
  if (!tree.isFolder(kTtyFolder)) {
    problem = "cannot read " + tree.real(kTtyFolder).string() + " (is sysfs mounted?)";
    return false;
  }
  devices.clear();
  for (const std::string& name : tree.names(kTtyFolder, kMaxEntries)) {
    if (!isLineName(name)) continue;
    if (std::optional<SerialDevice> found = deviceOf(tree, name)) {
      devices.push_back(std::move(*found));
    }
  }
  std::map<std::string, std::vector<std::string>> byId = byIdNames(tree);
  for (SerialDevice& found : devices) {
    auto names = byId.find(found.device.substr(5));
    if (names == byId.end()) continue;
    found.byId = std::move(names->second);
    std::sort(found.byId.begin(), found.byId.end(), naturalLess);
  }
  std::sort(devices.begin(), devices.end(), [](const SerialDevice& a, const SerialDevice& b) {
    return naturalLess(a.device, b.device);
  });
  return true;
}

}  // namespace solvard::tool
