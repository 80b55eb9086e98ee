#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvard::tool {

// A serial line of this machine a terminal may hang on, as the kernel describes it.
struct SerialDevice {
  std::string device;  // "/dev/ttyUSB0"
  std::string driver;  // the kernel driver behind the line, "" when the kernel names none
  std::string kind;    // "uart", "usb" (a USB serial adapter) or "acm" (a USB modem-class line)
  // The USB device the line belongs to, when it is on USB: ids as 4 lowercase hex digits, and
  // the strings the device reports, each when it has one.
  std::optional<std::string> vendorId;
  std::optional<std::string> productId;
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
  std::optional<std::string> serial;
  // The stable names udev keeps for the line, "/dev/serial/by-id/...", in natural order.
  std::vector<std::string> byId;
  // Whether this user may open the line for reading and writing, when that was asked.
  std::optional<bool> access;

  bool operator==(const SerialDevice&) const = default;
};

// The serial lines below `root` ("/" for this machine): the UARTs the kernel found hardware for
// (not the placeholder ttyS ports it makes for legacy ports), USB adapters (ttyUSB), USB modem
// lines (ttyACM) and other lines with a device behind them (ttyAMA...), with the by-id names
// that lead to each, sorted by name in natural order (ttyS2 before ttyS10). False, with
// `problem`, when the root has no tty folder to read (no sysfs mounted there).
bool listSerialDevices(const std::filesystem::path& root, std::vector<SerialDevice>& devices,
                       std::string& problem);

// "ttyS2" before "ttyS10": runs of digits compare as numbers.
bool naturalLess(std::string_view a, std::string_view b);

}  // namespace solvard::tool
