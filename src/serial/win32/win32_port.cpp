#include "serial/win32/win32_port.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "serial/port_errors.hpp"
#include "text/wide_text.hpp"

namespace solvard::serial::win32 {
namespace {

static_assert(CommLine::kNoParity == NOPARITY && CommLine::kOddParity == ODDPARITY &&
              CommLine::kEvenParity == EVENPARITY && CommLine::kMarkParity == MARKPARITY &&
              CommLine::kSpaceParity == SPACEPARITY);
static_assert(CommLine::kOneStopBit == ONESTOPBIT && CommLine::kTwoStopBits == TWOSTOPBITS);
static_assert(CommLine::kDtrControlEnable == DTR_CONTROL_ENABLE &&
              CommLine::kRtsControlDisable == RTS_CONTROL_DISABLE);
static_assert(CommTimeouts::kMaxDword == MAXDWORD);

HANDLE handleOf(void* handle) { return static_cast<HANDLE>(handle); }

// MinGW's wchar_t is UTF-16, as char16_t is: the core's conversions serve the W calls.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// The kind of an open's failure, from the error CreateFile or the first comm call gave.
OpenFailure::Kind failureKind(DWORD error) {
  using Kind = OpenFailure::Kind;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_NETPATH:
    case ERROR_DEVICE_NOT_CONNECTED: return Kind::NotFound;
    // Windows opens a comm device for one handle at a time: the port's driver refuses a second
    // open with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return Kind::InUse;
    // A file or a device that is no comm device: the comm calls are not among its functions.
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_PARAMETER: return Kind::NotATerminal;
    default: return Kind::Other;
  }
}

// Whether `device` names a comm port ("COM3", "\\.\COM12"), as against a path.
bool isPortName(std::string_view device) {
  for (std::string_view prefix : {R"(\\.\)", R"(\\?\)"}) {
    if (device.substr(0, prefix.size()) == prefix) device.remove_prefix(prefix.size());
  }
  if (device.size() < 4) return false;
  for (std::size_t i = 0; i < 3; ++i) {
    if ((device[i] & ~0x20) != "COM"[i]) return false;
  }
  return std::all_of(device.begin() + 3, device.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string systemMessage(unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = buffer != nullptr ? text::utf8OfLenient(std::u16string_view(
                                             reinterpret_cast<const char16_t*>(buffer), length))
                                       : "";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) text = "system error " + std::to_string(error);
  return text;
}

Win32Port::~Win32Port() { PortOpen(false); }

void Win32Port::openDevice(const std::string& device) {
  using Kind = OpenFailure::Kind;
  const auto name = text::utf16Of(device);
  if (!name || name->empty()) failOpen(Kind::NotFound, device, "not a valid device name");
  const HANDLE handle =
      CreateFileW(reinterpret_cast<const wchar_t*>(name->c_str()), GENERIC_READ | GENERIC_WRITE, 0,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failOpen(failureKind(error), device, systemMessage(error));
  }
  handle_ = handle;
  timeouts_.reset();
  auto fail = [&](Kind kind, const std::string& why) {
    closeDevice();
    failOpen(kind, device, why);
  };
  // A port whose state cannot be read cannot be used, whatever CreateFile said: a file or another
  // device is no comm device, and Wine opens a port mapped to a device that is missing and fails
  // its first comm call ("Invalid function").
  DCB state{};
  state.DCBlength = sizeof state;
  if (!GetCommState(handle, &state)) {
    const DWORD error = GetLastError();
    Kind kind = failureKind(error);
    if (isPortName(device) && kind != Kind::NotFound) kind = Kind::Other;
    fail(kind, "no comm device answers: " + systemMessage(error));
  }
  // The sizes are the driver's to round or ignore; the receive buffer here has its own bound.
  SetupComm(handle, static_cast<DWORD>(inBufferSize()), static_cast<DWORD>(outBufferSize()));
  // A rate the device does not take fails the open: a port left at the rate it had before
  // would send the command at a speed the host did not ask for.
  if (const auto refusal = settingsRefusal()) fail(Kind::SettingsRefused, *refusal);
  if (!useTimeouts(immediateReads())) {
    const DWORD error = GetLastError();
    fail(Kind::Other, "the read timeouts cannot be set: " + systemMessage(error));
  }
  // DTR on, RTS off, as the DCB says already; said again for drivers that set the lines only
  // on request. A pseudo-terminal under Wine has no modem lines and refuses both: harmless.
  EscapeCommFunction(handle, SETDTR);
  EscapeCommFunction(handle, CLRRTS);
  // Bytes that arrived while nobody had the port open belong to no exchange of ours.
  PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
}

void Win32Port::closeDevice() {
  if (handle_ == nullptr) return;
  CloseHandle(handleOf(handle_));
  handle_ = nullptr;
  timeouts_.reset();
}

std::optional<std::string> Win32Port::applySettings(const LineSettings& settings) {
  const HANDLE handle = handleOf(handle_);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) throw port_errors::portIoFailed(systemMessage(GetLastError()));
  const CommLine line = commLine(settings);
  dcb.BaudRate = line.baudRate;
  dcb.ByteSize = line.byteSize;
  dcb.Parity = line.parity;
  dcb.StopBits = line.stopBits;
  dcb.fBinary = line.binary;
  dcb.fParity = line.checkParity;
  dcb.fOutxCtsFlow = line.ctsHandshake;
  dcb.fOutxDsrFlow = line.dsrHandshake;
  dcb.fDtrControl = line.dtrControl;
  dcb.fDsrSensitivity = line.dsrSensitivity;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = line.softwareFlowControl;
  dcb.fInX = line.softwareFlowControl;
  dcb.fErrorChar = FALSE;
  dcb.fNull = line.stripNulls;
  dcb.fRtsControl = line.rtsControl;
  dcb.fAbortOnError = line.abortOnError;
  if (!SetCommState(handle, &dcb)) {
    return "the device does not take " + std::to_string(line.baudRate) + " baud with these " +
           "settings: " + systemMessage(GetLastError());
  }
  DCB now{};
  now.DCBlength = sizeof now;
  if (!GetCommState(handle, &now)) throw port_errors::portIoFailed(systemMessage(GetLastError()));
  if (!runsAt(line.baudRate, now.BaudRate)) {
    return "the device does not take " + std::to_string(line.baudRate) + " baud (it reports " +
           std::to_string(now.BaudRate) + ")";
  }
  return std::nullopt;
}

bool Win32Port::useTimeouts(const CommTimeouts& timeouts) {
  if (timeouts_ == timeouts) return true;
  COMMTIMEOUTS values{};
  values.ReadIntervalTimeout = timeouts.readInterval;
  values.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
  values.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
  values.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
  values.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
  if (!SetCommTimeouts(handleOf(handle_), &values)) {
    timeouts_.reset();
    return false;
  }
  timeouts_ = timeouts;
  return true;
}

Win32Port::Received Win32Port::readWaiting(std::span<uint8_t> room) {
  if (!useTimeouts(immediateReads())) return {0, true};
  // A line error (a framing or parity fault, an overrun) is cleared, so reads go on.
  DWORD errors = 0;
  COMSTAT status{};
  ClearCommError(handleOf(handle_), &errors, &status);
  DWORD got = 0;
  if (!ReadFile(handleOf(handle_), room.data(), static_cast<DWORD>(room.size()), &got, nullptr)) {
    return {0, true};
  }
  return {got, false};
}

void Win32Port::discardInput() { PurgeComm(handleOf(handle_), PURGE_RXABORT | PURGE_RXCLEAR); }

void Win32Port::discardOutput() {
  if (!PurgeComm(handleOf(handle_), PURGE_TXABORT | PURGE_TXCLEAR)) {
    throw port_errors::portIoFailed(systemMessage(GetLastError()));
  }
}

// Every timeout setting of this port bounds a write by kOutputLimit: a write that has not gone
// out whole by then found the transmit queue full.
void Win32Port::writeBytes(std::span<const uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD wrote = 0;
    if (!WriteFile(handleOf(handle_), bytes.data() + done, want, &wrote, nullptr)) {
      throw port_errors::portIoFailed(systemMessage(GetLastError()));
    }
    done += wrote;
    if (wrote < want) throw port_errors::portIoFailed("transmit queue full");
  }
}

// A read of one byte whose timeouts make it return as soon as a byte is in, or after the slice
// with nothing. Windows' overlapped WaitCommEvent would do too, but Wine does not signal it for
// a pseudo-terminal; this read works on both. The byte it takes goes into the room.
Win32Port::WaitEnd Win32Port::awaitInput(Clock::time_point deadline, std::span<uint8_t> room,
                                         std::size_t& taken) {
  if (room.empty()) return WaitEnd::Quiet;
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    const auto slice = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    if (!useTimeouts(waitingReads(slice))) return WaitEnd::Failed;
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), room.data(), 1, &got, nullptr)) return WaitEnd::Failed;
    if (got == 1) {
      taken = 1;
      return WaitEnd::Over;
    }
    // Nothing came. A driver that returned long before the slice ended does not wait for
    // input: asking again would spin, so the rest of the limit is slept instead.
    if (Clock::now() - now < slice / 2) return WaitEnd::Quiet;
  }
  return WaitEnd::Over;
}

}  // namespace solvard::serial::win32
