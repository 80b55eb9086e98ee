#include "ports_output.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace solvard::tool {
namespace {

using nlohmann::ordered_json;

std::string usbId(const SerialDevice& device) {
  if (!device.vendorId || !device.productId) return "-";
  return *device.vendorId + ":" + *device.productId;
}

// "FTDI FT232R USB UART (serial A6008isP)": what the USB device says it is.
std::string description(const SerialDevice& device) {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
  if (device.manufacturer) add(*device.manufacturer);
  if (device.product) add(*device.product);
  if (device.serial) add("(serial " + *device.serial + ")");
  return text;
}

std::string accessText(const SerialDevice& device) {
  if (!device.access) return "?";
  return *device.access ? "yes" : "no";
}

using Row = std::vector<std::string>;

std::string alignedRows(const std::vector<Row>& rows,
                        const std::vector<std::vector<std::string>>& below) {
  std::vector<std::size_t> widths(rows.front().size(), 0);
  for (const Row& row : rows) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string text;
  for (std::size_t at = 0; at < rows.size(); ++at) {
    std::string line;
    for (std::size_t column = 0; column < rows[at].size(); ++column) {
      line += rows[at][column];
      if (column + 1 < rows[at].size()) {
        line += std::string(widths[column] - rows[at][column].size() + 2, ' ');
      }
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
    for (const std::string& extra : below[at]) text += "  " + extra + "\n";
  }
  return text;
}

ordered_json optionalText(const std::optional<std::string>& text) {
  return text ? ordered_json(*text) : ordered_json(nullptr);
}

ordered_json deviceJson(const SerialDevice& device) {
  ordered_json object;
  object["device"] = device.device;
  object["driver"] = device.driver.empty() ? ordered_json(nullptr) : ordered_json(device.driver);
  object["kind"] = device.kind;
  object["vendor_id"] = optionalText(device.vendorId);
  object["product_id"] = optionalText(device.productId);
  object["manufacturer"] = optionalText(device.manufacturer);
  object["product"] = optionalText(device.product);
  object["serial"] = optionalText(device.serial);
  object["by_id"] = device.byId;
  object["access"] = device.access ? ordered_json(*device.access) : ordered_json(nullptr);
  return object;
}

std::string actionJson(bool ok, ordered_json result, ordered_json error) {
  ordered_json object;
  object["command"] = "ports";
  object["machine"] = nullptr;
  object["ok"] = ok;
  object["result"] = std::move(result);
  object["error"] = std::move(error);
  return object.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string portsText(const std::vector<SerialDevice>& devices) {
  if (devices.empty()) return "no serial devices found\n";
  // Whether this user may open a line is known only on the machine's own tree.
  const bool accessKnown = std::any_of(devices.begin(), devices.end(),
                                       [](const SerialDevice& d) { return d.access.has_value(); });
  std::vector<Row> rows;
  std::vector<std::vector<std::string>> below;
  rows.push_back({"DEVICE", "DRIVER", "USB ID", "DESCRIPTION"});
  if (accessKnown) rows.back().insert(rows.back().begin() + 1, "ACCESS");
  below.emplace_back();
  bool refused = false;
  for (const SerialDevice& device : devices) {
    rows.push_back({device.device, device.driver.empty() ? "-" : device.driver, usbId(device),
                    description(device)});
    if (accessKnown) rows.back().insert(rows.back().begin() + 1, accessText(device));
    refused = refused || device.access == false;
    below.emplace_back();
    for (const std::string& name : device.byId) below.back().push_back("also " + name);
  }
  std::string text = alignedRows(rows, below);
  if (refused) {
    text +=
        "ACCESS no: this user may not open the line; 'ls -l DEVICE' shows the group that may "
        "(often dialout), which the user can be added to.\n";
  }
  return text;
}

std::string portsJson(const std::vector<SerialDevice>& devices) {
  ordered_json result = ordered_json::array();
  for (const SerialDevice& device : devices) result.push_back(deviceJson(device));
  return actionJson(true, std::move(result), nullptr);
}

std::string portsErrorJson(const std::string& problem) {
  ordered_json error;
  error["code"] = "sysfs_unreadable";
  error["message"] = "the serial devices cannot be listed";
  error["detail"] = problem;
  return actionJson(false, nullptr, std::move(error));
}

}  // namespace solvard::tool
