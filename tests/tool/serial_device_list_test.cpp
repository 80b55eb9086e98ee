#include "serial_device_list.hpp"

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <sstream>

#include "command_line.hpp"
#include "commands.hpp"
#include "fake_sysfs.hpp"
#include "ports_output.hpp"

namespace solvard::tool {

// A record as a failed comparison shows it.
void PrintTo(const SerialDevice& d, std::ostream* out) {
  *out << "{" << d.device << " " << d.driver << " " << d.kind;
  for (const auto& fact : {d.vendorId, d.productId, d.manufacturer, d.product, d.serial}) {
    *out << " " << fact.value_or("null");
  }
  for (const std::string& name : d.byId) *out << " " << name;
  *out << "}";
}

namespace {

namespace fs = std::filesystem;
using Usb = std::vector<std::optional<std::string>>;
using testing::FakeSysfs;

// The device joins its bus, with its driver: links relative up to /sys, as the kernel makes them.
void onBus(const FakeSysfs& tree, const std::string& device, const std::string& bus,
           const std::string& driver) {
  const fs::path below = fs::path(device).relative_path();
  std::string up;
  for (auto part = std::next(below.begin()); part != below.end(); ++part) up += "../";
  tree.link(device + "/subsystem", up + "bus/" + bus);
  tree.link(device + "/driver", up + "bus/" + bus + "/drivers/" + driver);
}

// The tty below its device, its link back to the device, the class link and the device file.
void ttyOf(const FakeSysfs& tree, const std::string& device, const std::string& name,
           const char* type = nullptr) {
  const std::string folder = device + "/tty/" + name;
  tree.link(folder + "/device", "../../../" + fs::path(device).filename().string());
  tree.link("/sys/class/tty/" + name, "../.." + folder.substr(4));
  if (type) tree.file(folder + "/type", std::string(type) + "\n");
  tree.file("/dev/" + name, "");
}

void usbDevice(const FakeSysfs& tree, const std::string& device, const Usb& facts) {
  onBus(tree, device, "usb", "usb");
  const char* files[] = {"/idVendor", "/idProduct", "/manufacturer", "/product", "/serial"};
  for (std::size_t i = 0; i < facts.size(); ++i) {
    if (facts[i]) tree.file(device + files[i], *facts[i] + "\n");
  }
}

const std::string kPnp = "/sys/devices/pnp0/00:01";
const std::string k8250 = "/sys/devices/platform/serial8250";
const std::string kUsb = "/sys/devices/pci0000:00/0000:00:14.0/usb1";
const std::string kFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0";
const std::string kAcmById = "/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043-if00";
const Usb kFtdiFacts = {"0403", "6001", "FTDI", "FT232R USB UART", "A6008isP"};
const Usb kAcmFacts = {"2341", "0043", "Arduino (www.arduino.cc)", std::nullopt, std::nullopt};

// A UART as kernels since 6.5 show it: a serial-base port and controller between tty and UART.
void uartOnSerialBase(const FakeSysfs& tree) {
  onBus(tree, kPnp, "pnp", "serial");
  onBus(tree, kPnp + "/00:01:0", "serial-base", "ctrl");
  onBus(tree, kPnp + "/00:01:0/00:01:0.0", "serial-base", "port");
  ttyOf(tree, kPnp + "/00:01:0/00:01:0.0", "ttyS0", "4");
}

// As older kernels show a UART the 8250 driver found, then the ports it found none at.
void uartOnPlatform(const FakeSysfs& tree) {
  onBus(tree, k8250, "platform", "serial8250");
  ttyOf(tree, k8250, "ttyS10", "4");
}
void placeholders(const FakeSysfs& tree) {
  onBus(tree, k8250, "platform", "serial8250");
  for (const char* name : {"ttyS1", "ttyS2", "ttyS3"}) ttyOf(tree, k8250, name, "0");
}

// Consoles, a tty with no device, a port whose type does not read, the by-id names of an
// unplugged adapter and of a link that leads back to itself.
void notLines(const FakeSysfs& tree) {
  for (const std::string name : {"tty1", "console", "ptmx", "ttyS6"}) {
    tree.folder("/sys/devices/virtual/tty/" + name);
    tree.link("/sys/class/tty/" + name, "../../devices/virtual/tty/" + name);
  }
  onBus(tree, k8250, "platform", "serial8250");
  ttyOf(tree, k8250, "ttyS5", "4x");
  tree.link("/dev/serial/by-id/usb-gone-if00-port0", "../../ttyUSB7");
  tree.link("/dev/serial/by-id/usb-round-if00-port0", "./usb-round-if00-port0");
}

void ftdi(const FakeSysfs& tree) {
  usbDevice(tree, kUsb + "/1-1", kFtdiFacts);
  onBus(tree, kUsb + "/1-1/1-1:1.0", "usb", "ftdi_sio");
  onBus(tree, kUsb + "/1-1/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio");
  ttyOf(tree, kUsb + "/1-1/1-1:1.0/ttyUSB0", "ttyUSB0");
  tree.link(kFtdiById, "../../ttyUSB0");
}

// A modem-class line without product or serial string. Its by-id link is absolute and climbs
// above the root, which takes it to the root's own /dev as it would the kernel.
void acm(const FakeSysfs& tree) {
  usbDevice(tree, kUsb + "/1-2", kAcmFacts);
  onBus(tree, kUsb + "/1-2/1-2:1.0", "usb", "cdc_acm");
  ttyOf(tree, kUsb + "/1-2/1-2:1.0", "ttyACM0");
  tree.link(kAcmById, "/../../dev/ttyACM0");
}

SerialDevice line(const std::string& name, const std::string& driver, const std::string& kind,
                  const Usb& usb = {}, const std::vector<std::string>& byId = {}) {
  SerialDevice d;
  d.device = "/dev/" + name;
  d.driver = driver;
  d.kind = kind;
  if (usb.size() == 5) {
    std::tie(d.vendorId, d.productId, d.manufacturer, d.product, d.serial) =
        std::tie(usb[0], usb[1], usb[2], usb[3], usb[4]);
  }
  d.byId = byId;
  return d;
}

const SerialDevice kS0 = line("ttyS0", "serial", "uart");
const SerialDevice kS10 = line("ttyS10", "serial8250", "uart");
const SerialDevice kFtdi = line("ttyUSB0", "ftdi_sio", "usb", kFtdiFacts, {kFtdiById});
const SerialDevice kAcm = line("ttyACM0", "cdc_acm", "acm", kAcmFacts, {kAcmById});

using Piece = void (*)(const FakeSysfs&);
const std::vector<Piece> kEveryPiece = {uartOnSerialBase, uartOnPlatform, placeholders,
                                        notLines,         ftdi,           acm};

void build(const FakeSysfs& tree, const std::vector<Piece>& pieces) {
  tree.folder("/sys/class/tty");
  for (Piece piece : pieces) piece(tree);
}

std::vector<SerialDevice> listed(const FakeSysfs& tree) {
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
      {"serial-base UART", {uartOnSerialBase}, {kS0}},
      {"platform UART", {uartOnPlatform}, {kS10}},
      {"placeholders", {placeholders}, {}},
      {"not lines", {notLines}, {}},
      {"FTDI", {ftdi}, {kFtdi}},
      {"ACM", {acm}, {kAcm}},
      {"all, in natural order", kEveryPiece, {kAcm, kS0, kS10, kFtdi}},
  };
  for (const auto& c : cases) {
    const FakeSysfs tree("solvard-ports");
    build(tree, c.pieces);
    EXPECT_EQ(listed(tree), c.expected) << c.name;
  }
}

// What a USB device reports reaches the record only when it reads as what it should be.
TEST(SerialDeviceListTest, ChecksWhatTheUsbDeviceReports) {
  const struct {
    std::string file;
    std::string text;
    std::optional<std::string> SerialDevice::*field;
    std::optional<std::string> expected;
  } cases[] = {
      {"idVendor", "04A3\n", &SerialDevice::vendorId, "04a3"},
      {"idVendor", "403\n", &SerialDevice::vendorId, std::nullopt},
      {"idProduct", "0x6001\n", &SerialDevice::productId, std::nullopt},
      {"manufacturer", " FT\tDI\x7f \n", &SerialDevice::manufacturer, "FT?DI?"},
      {"product", std::string(513, 'x'), &SerialDevice::product, std::nullopt},
      {"serial", " \n", &SerialDevice::serial, std::nullopt},
  };
  for (const auto& c : cases) {
    const FakeSysfs tree("solvard-ports-usb");
    build(tree, {ftdi});
    tree.file(kUsb + "/1-1/" + c.file, c.text);
    const std::vector<SerialDevice> devices = listed(tree);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].*c.field, c.expected) << c.file << " " << c.text.substr(0, 12);
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

TEST(PortsOutputTest, PrintsAlignedColumnsAndTheJsonObject) {
  const FakeSysfs tree("solvard-ports-output");
  build(tree, kEveryPiece);
  EXPECT_EQ(portsText(listed(tree)), kEveryText);
  EXPECT_EQ(portsText({}), "no serial devices found\n");
  EXPECT_EQ(portsJson({}), R"({"command":"ports","machine":null,"ok":true,"result":[],)"
                           R"("error":null})"
                           "\n");
  std::vector<SerialDevice> devices = {kS0, kFtdi};
  devices[0].access = false;
  devices[1].access = true;
  devices[1].manufacturer = "FT\xff";  // not UTF-8: the JSON text stays valid
  EXPECT_EQ(portsText(devices),
            "DEVICE        ACCESS  DRIVER    USB ID     DESCRIPTION\n"
            "/dev/ttyS0    no      serial    -\n"
            "/dev/ttyUSB0  yes     ftdi_sio  0403:6001  FT\xff FT232R USB UART (serial A6008isP)\n"
            "  also /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0\n"
            "ACCESS no: this user may not open the line; 'ls -l DEVICE' shows the group that "
            "may (often dialout), which the user can be added to.\n");
  EXPECT_EQ(portsJson(devices),
            R"({"command":"ports","machine":null,"ok":true,"result":[{"device":"/dev/ttyS0",)"
            R"("driver":"serial","kind":"uart","vendor_id":null,"product_id":null,)"
            R"("manufacturer":null,"product":null,"serial":null,"by_id":[],"access":false},)"
            R"({"device":"/dev/ttyUSB0","driver":"ftdi_sio","kind":"usb","vendor_id":"0403",)"
            R"("product_id":"6001","manufacturer":"FT)"
            "\xef\xbf\xbd"
            R"(","product":"FT232R USB UART",)"
            R"("serial":"A6008isP","by_id":["/dev/serial/by-id/)"
            R"(usb-FTDI_FT232R_USB_UART_A6008isP-if00-port0"],"access":true}],"error":null})"
            "\n");
}

// The command as the operator runs it: its words, what it prints, its exit status.
struct Outcome {
  int status = 0;
  std::string out;
  std::string err;
  bool operator==(const Outcome&) const = default;
};

Outcome runPorts(std::vector<std::string> words) {
  CLI::App app{"test", "solvard"};
  configureApp(app);
  Outcome run;
  addPortsCommand(app, run.status);
  std::ostringstream out, err;
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
  build(tree, kEveryPiece);
  const FakeSysfs acmOnly("solvard-ports-acm");
  build(acmOnly, {acm});
  const FakeSysfs bare("solvard-ports-bare");
  const std::string noTty =
      "cannot read " + (bare.root() / "sys/class/tty").string() + " (is sysfs mounted?)";
  const std::string bareRoot = bare.root().string();
  const struct {
    std::vector<std::string> words;
    Outcome expected;
  } cases[] = {
      {{"ports", "--root", tree.root().string()}, {kExitOk, kEveryText, ""}},
      {{"ports", "--json", "--root=" + acmOnly.root().string()},
       {kExitOk,
        R"j({"command":"ports","machine":null,"ok":true,"result":[{"device":"/dev/ttyACM0",)j"
        R"j("driver":"cdc_acm","kind":"acm","vendor_id":"2341","product_id":"0043",)j"
        R"j("manufacturer":"Arduino (www.arduino.cc)","product":null,"serial":null,"by_id":)j"
        R"j(["/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043-if00"],"access":null}],)j"
        R"j("error":null})j"
        "\n",
        ""}},
      {{"ports", "--root", bareRoot}, {kExitFailed, "", "solvard ports: " + noTty + "\n"}},
      {{"ports", "--json", "--root", bareRoot},
       {kExitFailed,
        R"({"command":"ports","machine":null,"ok":false,"result":null,"error":{"code":"sysfs_unreadable",)"
        R"("message":"the serial devices cannot be listed","detail":")" +
            noTty + "\"}}\n",
        ""}},
      {{"ports", "--bogus"},
       {kExitUsage, "",
        "solvard ports: The following argument was not expected: --bogus (see 'solvard ports "
        "--help')\n"}},
  };
  for (const auto& c : cases) EXPECT_EQ(runPorts(c.words), c.expected) << c.words.back();
  const Outcome help = runPorts({"ports", "--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_TRUE(help.out.starts_with("list this machine's serial lines")) << help.out;
  EXPECT_NE(help.out.find("  --json "), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find("--root"), std::string::npos) << help.out;  // for tests only
}

}  // namespace
}  // namespace solvard::tool
