#pragma once

#include <chrono>
#include <cstdint>

#include "serial/port_values.hpp"

// What the Win32 backend puts on a comm device, worked out from the port's values without the
// Windows headers, so that it is the same code, and tested the same way, on every platform.
// The numbers are those of <winbase.h> (NOPARITY ..., ONESTOPBIT ..., DTR_CONTROL_ENABLE ...);
// win32_port.cpp checks them against the header when it copies them into a DCB.
namespace solvard::serial::win32 {

// The DCB fields a port's line settings decide.
struct CommLine {
  // <winbase.h>'s values.
  static constexpr uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3,
                           kSpaceParity = 4;
  static constexpr uint8_t kOneStopBit = 0, kTwoStopBits = 2;
  static constexpr uint32_t kDtrControlEnable = 1;
  static constexpr uint32_t kRtsControlDisable = 0;

  uint32_t baudRate = 9600;
  uint8_t byteSize = 8;
  uint8_t parity = kNoParity;
  uint8_t stopBits = kOneStopBit;
  // fParity: the driver checks the parity bit of what comes in. Off, as on the POSIX port: a
  // byte with a bad parity bit reaches the exchange, whose checksum refuses the frame.
  bool checkParity = false;
  // fBinary (Windows takes no other), no XON/XOFF (fOutX, fInX), no CTS/DSR handshake, no
  // DSR sensitivity, no error character, no null stripping, no abort on error.
  bool binary = true;
  bool softwareFlowControl = false;
  bool ctsHandshake = false;
  bool dsrHandshake = false;
  bool dsrSensitivity = false;
  bool abortOnError = false;
  bool stripNulls = false;
  // DTR held on, RTS held off: the terminals' line drivers take power from DTR, and RTS is not
  // used to signal anything (as on the POSIX port).
  uint32_t dtrControl = kDtrControlEnable;
  uint32_t rtsControl = kRtsControlDisable;

  friend bool operator==(const CommLine&, const CommLine&) = default;
};

CommLine commLine(const LineSettings& settings);

// The COMMTIMEOUTS fields, in milliseconds.
struct CommTimeouts {
  static constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

  uint32_t readInterval = 0;
  uint32_t readTotalMultiplier = 0;
  uint32_t readTotalConstant = 0;
  uint32_t writeTotalMultiplier = 0;
  uint32_t writeTotalConstant = 0;

  friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

// Output waits this long at most for room in the device's transmit queue.
inline constexpr std::chrono::milliseconds kOutputLimit{2000};

// Reads that take what the device holds and return at once, also with nothing.
CommTimeouts immediateReads();

// Reads that return as soon as one byte is in, or after `slice` with nothing: the wait for
// input. A slice below 1 ms is 1 ms (0 would turn the wait into an immediate read), one beyond
// what the field holds is cut to the most it holds below MAXDWORD.
CommTimeouts waitingReads(std::chrono::milliseconds slice);

// Whether a device reporting `reported` runs at `asked`: within 2 %, as the POSIX port judges.
bool runsAt(uint32_t asked, uint32_t reported);

}  // namespace solvard::serial::win32
