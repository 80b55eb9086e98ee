#include "serial_device_list.hpp"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <sstream>

#include "command_line.hpp"
#include "commands.hpp"
#include "fake_sysfs.hpp"
#include "ports_output.hpp"

namespace solvard::tool {

// A record as a failed comparison shows it.
void PrintTo(const SerialDevice& d, std::ostream* out) {
  auto text = [](const std::optional<std::string>& v) { return v ? "\"" + *v + "\"" : "null"; };
  *out << "{" << d.device << " " << d.driver << " " << d.kind << " " << text(d.vendorId) << ":"
       << text(d.productId) << " " << text(d.manufacturer) << " " << text(d.product) << " "
       << text(d.serial) << " by-id";
  for (const std::string& name : d.byId) *out << " " << name;
  *out << " access " << (d.access ? (*d.access ? "yes" : "no") : "?") << "}";
}

namespace {

namespace fs = std::filesystem;
using testing::FakeSysfs;

// The device joins its bus, with its driver if it has one: links relative up to /sys, as the
// kernel makes them.
void onBus(const FakeSysfs& tree, const std::string& device, const std::string& bus,
           const std::string& driver) {
  const fs::path below = fs::path(device).relative_path();
  std::string up;
  for (auto part = std::next(below.begin()); part != below.end(); ++part) up += "../";
  tree.link(device + "/subsystem", up + "bus/" + bus);
  tree.link(device + "/driver", up + "bus/" + bus + "/drivers/" + driver);
}

// The tty below its device, its link back to the device and the class link to it.
void ttyOf(const FakeSysfs& tree, const std::string& device, const std::string& name,
           const std::optional<std::string>& type) {
  const std::string folder = device + "/tty/" + name;
  tree.folder(folder);
  tree.link(folder + "/device", "../../../" + fs::path(device).filename().string());
  tree.link("/sys/class/tty/" + name, "../.." + folder.substr(4));
  if (type) tree.file(folder + "/type", *type + "\n");
  tree.file("/dev/" + name, "");
}

const std::string kPnp = "/sys/devices/pnp0/00:01";
const std::string k8250 = "/sys/devices/platform/serial8250";
const std::string kUsb = "/sys/devices/pci0000:00/0000:00:14.0/usb1";
const std::string kFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
const std::string kAcmById = "/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043-if00";

// A UART as kernels since 6.5 show it: a serial-base port and controller between tty and UART.
void uartOnSerialBase(const FakeSysfs& tree) {
  onBus(tree, kPnp, "pnp", "serial");
  onBus(tree, kPnp + "/00:01:0", "serial-base", "ctrl");
  onBus(tree, kPnp + "/00:01:0/00:01:0.0", "serial-base", "port");
  ttyOf(tree, kPnp + "/00:01:0/00:01:0.0", "ttyS0", "4");
}

// As older kernels show a UART the 8250 driver found at a legacy address.
void uartOnPlatform(const FakeSysfs& tree) {
  onBus(tree, k8250, "platform", "serial8250");
  ttyOf(tree, k8250, "ttyS10", "4");
}

void placeholders(const FakeSysfs& tree) {
  onBus(tree, k8250, "platform", "serial8250");
  for (const char* name : {"ttyS1", "ttyS2", "ttyS3"}) ttyOf(tree, k8250, name, "0");
}

// Consoles, a port whose type does not read as a number, a tty with no device behind it and
// a by-id name of an adapter since unplugged.
void notLines(const FakeSysfs& tree) {
  for (const char* name : {"tty1", "console", "ptmx", "ttyS6"}) {
    tree.folder(std::string("/sys/devices/virtual/tty/") + name);
    tree.link(std::string("/sys/class/tty/") + name,
              std::string("../../devices/virtual/tty/") + name);
  }
  onBus(tree, k8250, "platform", "serial8250");
  ttyOf(tree, k8250, "ttyS5", "4x");
  tree.link("/dev/serial/by-id/usb-gone-if00-port0", "../../ttyUSB7");
}

void ftdi(const FakeSysfs& tree) {
  const std::string usb = kUsb + "/1-1";
  onBus(tree, usb, "usb", "usb");
  tree.file(usb + "/idVendor", "0403\n");
  tree.file(usb + "/idProduct", "6001\n");
  tree.file(usb + "/manufacturer", "FTDI\n");
  tree.file(usb + "/product", "FT232R USB UART\n");
  tree.file(usb + "/serial", "A6008isP\n");
  onBus(tree, usb + "/1-1:1.0", "usb", "ftdi_sio");
  onBus(tree, usb + "/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio");
  ttyOf(tree, usb + "/1-1:1.0/ttyUSB0", "ttyUSB0", std::nullopt);
  tree.link(kFtdiById, "../../ttyUSB0");
}

// A modem-class line without product or serial string; udev's link to it is absolute.
void acm(const FakeSysfs& tree) {
  const std::string usb = kUsb + "/1-2";
  onBus(tree, usb, "usb", "usb");
  tree.file(usb + "/idVendor", "2341\n");
  tree.file(usb + "/idProduct", "0043\n");
  tree.file(usb + "/manufacturer", "Arduino (www.arduino.cc)\n");
  onBus(tree, usb + "/1-2:1.0", "usb", "cdc_acm");
  ttyOf(tree, usb + "/1-2:1.0", "ttyACM0", std::nullopt);
  tree.link(kAcmById, "/dev/ttyACM0");
}

SerialDevice uart(const std::string& name, const std::string& driver) {
  SerialDevice device;
  device.device = "/dev/" + name;
  device.driver = driver;
  device.kind = "uart";
  return device;
}

SerialDevice ftdiDevice() {
  SerialDevice device = uart("ttyUSB0", "ftdi_sio");
  device.kind = "usb";
  device.vendorId = "0403";
  device.productId = "6001";
  device.manufacturer = "FTDI";
  device.product = "FT232R USB UART";
  device.serial = "A6008isP";
  device.byId = {kFtdiById};
  return device;
}

SerialDevice acmDevice() {
  SerialDevice device = uart("ttyACM0", "cdc_acm");
  device.kind = "acm";
  device.vendorId = "2341";
  device.productId = "0043";
  device.manufacturer = "Arduino (www.arduino.cc)";
  device.byId = {kAcmById};
  return device;
}

using Piece = void (*)(const FakeSysfs&);
const std::vector<Piece> kEveryPiece = {uartOnSerialBase, uartOnPlatform, placeholders,
                                        notLines,         ftdi,           acm};

std::vector<SerialDevice> listed(const std::vector<Piece>& pieces) {
  const FakeSysfs tree("solvard-ports");
  tree.folder("/sys/class/tty");
  for (Piece piece : pieces) piece(tree);
  std::vector<SerialDevice> devices;
  std::string problem;
  EXPECT_TRUE(listSerialDevices(tree.root(), devices, problem)) << problem;
  return devices;
}

TEST(SerialDeviceListTest, ListsTheLinesWithHardwareAndTheirNames) {
  const struct {
    const char* name;
    std::vector<Piece> pieces;
    std::vector<SerialDevice> expected;
  } cases[] = {
      {"empty", {}, {}},
      {"serial-base UART", {uartOnSerialBase}, {uart("ttyS0", "serial")}},
      {"platform UART", {uartOnPlatform}, {uart("ttyS10", "serial8250")}},
      {"placeholders", {placeholders}, {}},
      {"not lines", {notLines}, {}},
      {"FTDI", {ftdi}, {ftdiDevice()}},
      {"ACM", {acm}, {acmDevice()}},
      {"all, natural order",
       kEveryPiece,
       {acmDevice(), uart("ttyS0", "serial"), uart("ttyS10", "serial8250"), ftdiDevice()}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(listed(c.pieces), c.expected);
  }
}

// What a USB device reports reaches the record only when it reads as what it should be.
TEST(SerialDeviceListTest, ChecksWhatTheUsbDeviceReports) {
  const std::string usb = kUsb + "/1-1/";
  const struct {
    std::string file;
    std::string text;
    std::optional<std::string> SerialDevice::*field;
    std::optional<std::string> expected;
  } cases[] = {
      {"idVendor", "04A3\n", &SerialDevice::vendorId, "04a3"},
      {"idVendor", "403\n", &SerialDevice::vendorId, std::nullopt},
      {"idProduct", "0x6001\n", &SerialDevice::productId, std::nullopt},
      {"idProduct", "60g1\n", &SerialDevice::productId, std::nullopt},
      {"manufacturer", " FT\tDI\x7f \n", &SerialDevice::manufacturer, "FT?DI?"},
      {"product", std::string(513, 'x'), &SerialDevice::product, std::nullopt},
      {"product", std::string(512, 'x'), &SerialDevice::product, std::string(512, 'x')},
      {"serial", " \n", &SerialDevice::serial, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.text.substr(0, 12));
    const FakeSysfs tree("solvard-ports-usb");
    ftdi(tree);
    tree.file(usb + c.file, c.text);
    std::vector<SerialDevice> devices;
    std::string problem;
    ASSERT_TRUE(listSerialDevices(tree.root(), devices, problem)) << problem;
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].*c.field, c.expected);
  }
}

TEST(SerialDeviceListTest, SortsNumbersInNamesAsNumbers) {
  const struct {
    const char* a;
    const char* b;
    bool less;
  } cases[] = {{"ttyS2", "ttyS10", true},  {"ttyS10", "ttyS2", false}, {"ttyS2", "ttyS2", false},
               {"ttyACM9", "ttyS0", true}, {"ttyS", "ttyS0", true},    {"ttyS01", "ttyS1", true},
               {"ttyS1", "ttyS01", false}, {"a9b2", "a9b10", true},    {"a10", "a9b", false}};
  for (const auto& c : cases) EXPECT_EQ(naturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

const std::string kEveryText =
    "DEVICE        DRIVER      USB ID     DESCRIPTION\n"
    "/dev/ttyACM0  cdc_acm     2341:0043  Arduino (www.arduino.cc)\n"
    "  also /dev/serial/by-id/usb-Arduino__www.arduino.cc__0043-if00\n"
    "/dev/ttyS0    serial      -\n"
    "/dev/ttyS10   serial8250  -\n"
    "/dev/ttyUSB0  ftdi_sio    0403:6001  FTDI FT232R USB UART (serial A6008isP)\n"
    "  also /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0\n";

const std::string kEveryJson =
    R"({"command":"ports","machine":null,"ok":true,"result":[)"
    R"({"device":"/dev/ttyACM0","driver":"cdc_acm","kind":"acm","vendor_id":"2341",)"
    R"j("product_id":"0043","manufacturer":"Arduino (www.arduino.cc)","product":null,)j"
    R"("serial":null,"by_id":["/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043-if00"],)"
    R"("access":null},)"
    R"({"device":"/dev/ttyS0","driver":"serial","kind":"uart","vendor_id":null,)"
    R"("product_id":null,"manufacturer":null,"product":null,"serial":null,"by_id":[],)"
    R"("access":null},)"
    R"({"device":"/dev/ttyS10","driver":"serial8250","kind":"uart","vendor_id":null,)"
    R"("product_id":null,"manufacturer":null,"product":null,"serial":null,"by_id":[],)"
    R"("access":null},)"
    R"({"device":"/dev/ttyUSB0","driver":"ftdi_sio","kind":"usb","vendor_id":"0403",)"
    R"("product_id":"6001","manufacturer":"FTDI","product":"FT232R USB UART",)"
    R"("serial":"A6008isP","by_id":[")" +
    kFtdiById + R"("],"access":null}],"error":null})" + "\n";

TEST(PortsOutputTest, PrintsAlignedColumnsAndTheJsonObject) {
  const std::vector<SerialDevice> devices = listed(kEveryPiece);
  EXPECT_EQ(portsText(devices), kEveryText);
  EXPECT_EQ(portsJson(devices), kEveryJson);
  EXPECT_EQ(portsText({}), "no serial devices found\n");
  EXPECT_EQ(portsJson({}),
            R"({"command":"ports","machine":null,"ok":true,"result":[],"error":null})"
            "\n");
}

TEST(PortsOutputTest, SaysWhichLinesThisUserMayOpen) {
  std::vector<SerialDevice> devices = {uart("ttyS0", "serial"), ftdiDevice()};
  devices[0].access = false;
  devices[1].access = true;
  devices[1].manufacturer = "FT\xff";  // not UTF-8: the JSON text stays valid
  EXPECT_EQ(portsText(devices),
            "DEVICE        ACCESS  DRIVER    USB ID     DESCRIPTION\n"
            "/dev/ttyS0    no      serial    -\n"
            "/dev/ttyUSB0  yes     ftdi_sio  0403:6001  FT\xff FT232R USB UART (serial A6008isP)\n"
            "  also " +
                kFtdiById +
                "\n"
                "ACCESS no: this user may not open the line; 'ls -l DEVICE' shows the group that "
                "may (often dialout), which the user can be added to.\n");
  const std::string json = portsJson(devices);
  EXPECT_NE(json.find(R"("device":"/dev/ttyS0",)"), std::string::npos);
  EXPECT_NE(json.find(R"("by_id":[],"access":false})"), std::string::npos) << json;
  EXPECT_NE(json.find("\"manufacturer\":\"FT\xef\xbf\xbd\""), std::string::npos) << json;
}

// The command as the operator runs it: its words, what it prints, its exit status.
struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
};

Outcome runPorts(std::vector<std::string> words) {
  CLI::App app{"test", "solvard"};
  configureApp(app);
  app.require_subcommand(1);
  Outcome run;
  addPortsCommand(app, run.status);
  std::ostringstream out;
  std::ostringstream err;
  std::streambuf* savedOut = std::cout.rdbuf(out.rdbuf());
  std::streambuf* savedErr = std::cerr.rdbuf(err.rdbuf());
  words.insert(words.begin(), "solvard");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    run.status = reportParseError(app, e);
  }
  std::cout.rdbuf(savedOut);
  std::cerr.rdbuf(savedErr);
  run.out = out.str();
  run.err = err.str();
  return run;
}

TEST(PortsCommandTest, ListsBelowTheRootItIsGiven) {
  const FakeSysfs tree("solvard-ports-command");
  tree.folder("/sys/class/tty");
  for (Piece piece : kEveryPiece) piece(tree);
  const FakeSysfs bare("solvard-ports-bare");
  const std::string root = tree.root().string();
  const std::string noTty = "cannot read " + (bare.root() / "sys/class/tty").string();
  const struct {
    std::vector<std::string> words;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"ports", "--root", root}, kExitOk, kEveryText, ""},
      {{"ports", "--json", "--root=" + root}, kExitOk, kEveryJson, ""},
      {{"ports", "--root", bare.root().string()},
       kExitFailed,
       "",
       "solvard ports: " + noTty + " (is sysfs mounted?)\n"},
      {{"ports", "--json", "--root", bare.root().string()},
       kExitFailed,
       R"({"command":"ports","machine":null,"ok":false,"result":null,"error":{"description":")" +
           noTty + R"j( (is sysfs mounted?)"}})j" + "\n",
       ""},
      {{"ports", "--bogus"},
       kExitUsage,
       "",
       "solvard ports: The following argument was not expected: --bogus (see 'solvard ports "
       "--help')\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words.back());
    const Outcome run = runPorts(c.words);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
  }
}

TEST(PortsCommandTest, HelpNamesTheOptionsButNotTheTestRoot) {
  const Outcome run = runPorts({"ports", "--help"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_TRUE(run.out.starts_with("list this machine's serial lines")) << run.out;
  EXPECT_NE(run.out.find("  --json "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("--root"), std::string::npos) << run.out;
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace solvard::tool
