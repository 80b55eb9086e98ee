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
#include <utility>

#include "automation/error.hpp"
#include "serial/deadline_sleep.hpp"
#include "serial/port_devices.hpp"
#include "serial/port_errors.hpp"

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

// A UTF-8 text as Windows takes names; nothing when it is not well-formed UTF-8.
std::optional<std::wstring> wideText(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
  return wide;
}

std::string utf8Text(const wchar_t* text, int length) {
  if (length <= 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

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
  std::string text = buffer != nullptr ? utf8Text(buffer, static_cast<int>(length)) : "";
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) text = "system error " + std::to_string(error);
  return text;
}

Win32Port::Win32Port() = default;

Win32Port::Win32Port(std::string device) : device_(std::move(device)) {}

Win32Port::~Win32Port() {
  if (handle_ != nullptr) close();
}

void Win32Port::failOpen(OpenFailure::Kind kind, const std::string& device,
                         const std::string& reason) {
  openFailure_ = OpenFailure{kind, device, reason};
  throw port_errors::portUnavailable(device + ": " + reason);
}

void Win32Port::requireOpen() const {
  if (handle_ == nullptr) throw port_errors::portNotOpen();
}

void Win32Port::requireClosed() const {
  if (handle_ != nullptr) throw port_errors::portAlreadyOpen();
}

void Win32Port::PortOpen(bool open) {
  if (open) {
    requireClosed();
    this->open();
  } else if (handle_ != nullptr) {
    close();
  }
}

void Win32Port::open() {
  using Kind = OpenFailure::Kind;
  const std::string device = device_.empty() ? portDevicePath(portNumber_) : device_;
  const auto name = wideText(device);
  if (!name || name->empty()) failOpen(Kind::NotFound, device, "not a valid device name");
  const HANDLE handle = CreateFileW(name->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failOpen(failureKind(error), device, systemMessage(error));
  }
  auto fail = [&](Kind kind, const std::string& why) {
    CloseHandle(handle);
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
  SetupComm(handle, static_cast<DWORD>(inBufferSize_), static_cast<DWORD>(outBufferSize_));
  // A rate the device does not take fails the open: a port left at the rate it had before
  // would send the command at a speed the host did not ask for.
  std::optional<std::string> refusal;
  try {
    refusal = configure(handle);
  } catch (const automation::AutomationError& error) {
    refusal = error.description();
  }
  if (refusal) fail(Kind::SettingsRefused, *refusal);
  handle_ = handle;
  timeouts_.reset();
  if (!useTimeouts(immediateReads())) {
    const DWORD error = GetLastError();
    handle_ = nullptr;
    fail(Kind::Other, "the read timeouts cannot be set: " + systemMessage(error));
  }
  // DTR on, RTS off, as the DCB says already; said again for drivers that set the lines only
  // on request. A pseudo-terminal under Wine has no modem lines and refuses both: harmless.
  EscapeCommFunction(handle, SETDTR);
  EscapeCommFunction(handle, CLRRTS);
  // Bytes that arrived while nobody had the port open belong to no exchange of ours.
  PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
  hungUp_ = false;
  openFailure_.reset();
  buffer_.clear();
}

void Win32Port::close() {
  CloseHandle(handleOf(handle_));
  handle_ = nullptr;
  timeouts_.reset();
  hungUp_ = false;
  buffer_.clear();
}

std::optional<std::string> Win32Port::configure(void* device) const {
  const HANDLE handle = handleOf(device);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle, &dcb)) throw port_errors::portIoFailed(systemMessage(GetLastError()));
  const CommLine line = commLine(line_);
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

void Win32Port::CommPort(int16_t number) {
  requireClosed();
  checkPortNumber(number);
  portNumber_ = number;
}

// Any positive rate is taken here; whether the device runs at it shows only once the port is
// open, where a refusal is raised and the device goes back to the settings it had.
void Win32Port::Settings(const std::string& text) {
  const LineSettings line = parseSettings(text);
  if (handle_ == nullptr) {
    line_ = line;
    return;
  }
  const LineSettings previous = std::exchange(line_, line);
  const auto refusal = configure(handle_);
  if (!refusal) return;
  line_ = previous;
  (void)configure(handle_);
  throw automation::AutomationError(automation::errors::kInvalidPropertyValue,
                                    "Invalid property value: " + *refusal);
}

void Win32Port::InBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  inBufferSize_ = size;
}

void Win32Port::OutBufferSize(int16_t size) {
  requireClosed();
  checkBufferSize(size);
  outBufferSize_ = size;
}

// Binary and text input hand over the same bytes here: nothing is translated on the way in.
void Win32Port::InputMode(int16_t mode) { checkInputMode(mode); }

void Win32Port::drain() {
  const std::size_t capacity = static_cast<std::size_t>(inBufferSize_);
  if (hungUp_ || buffer_.size() >= capacity) return;
  if (!useTimeouts(immediateReads())) {
    hungUp_ = true;
    return;
  }
  // A line error (a framing or parity fault, an overrun) is cleared, so reads go on.
  DWORD errors = 0;
  COMSTAT status{};
  ClearCommError(handleOf(handle_), &errors, &status);
  uint8_t chunk[512];
  while (buffer_.size() < capacity) {
    const DWORD want = static_cast<DWORD>(std::min(sizeof chunk, capacity - buffer_.size()));
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), chunk, want, &got, nullptr)) {
      hungUp_ = true;
      return;
    }
    buffer_.insert(buffer_.end(), chunk, chunk + got);
    if (got < want) return;
  }
}

int Win32Port::InBufferCount() {
  requireOpen();
  drain();
  return static_cast<int>(buffer_.size());
}

void Win32Port::InBufferCount(int count) {
  if (count != 0) throw automation::errors::invalidPropertyValue();
  requireOpen();
  PurgeComm(handleOf(handle_), PURGE_RXABORT | PURGE_RXCLEAR);
  buffer_.clear();
}

void Win32Port::OutBufferCount(int count) {
  if (count != 0) throw automation::errors::invalidPropertyValue();
  requireOpen();
  if (!PurgeComm(handleOf(handle_), PURGE_TXABORT | PURGE_TXCLEAR)) {
    throw port_errors::portIoFailed(systemMessage(GetLastError()));
  }
}

void Win32Port::InputLen(int length) {
  if (length < 0) throw automation::errors::invalidPropertyValue();
  inputLen_ = length;
}

Bytes Win32Port::Input() {
  requireOpen();
  drain();
  const std::size_t n =
      inputLen_ == 0 ? buffer_.size() : std::min<std::size_t>(inputLen_, buffer_.size());
  Bytes taken(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  return taken;
}

// Every timeout setting of this port bounds a write by kOutputLimit: a write that has not gone
// out whole by then found the transmit queue full.
void Win32Port::Output(std::span<const uint8_t> bytes) {
  requireOpen();
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
// a pseudo-terminal; this read works on both.
void Win32Port::waitForInput(std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  const bool full = buffer_.size() >= static_cast<std::size_t>(inBufferSize_);
  if (handle_ != nullptr && !hungUp_ && !full) {
    for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
      const auto slice = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
      if (!useTimeouts(waitingReads(slice))) {
        hungUp_ = true;
        break;
      }
      uint8_t byte = 0;
      DWORD got = 0;
      if (!ReadFile(handleOf(handle_), &byte, 1, &got, nullptr)) {
        hungUp_ = true;
        break;
      }
      if (got == 1) {
        buffer_.push_back(byte);
        return;
      }
      // Nothing came. A driver that returned long before the slice ended does not wait for
      // input: asking again would spin, so the rest of the limit is slept instead.
      if (Clock::now() - now < slice / 2) break;
    }
  }
  sleepUntil(deadline);
}

}  // namespace solvard::serial::win32
