#pragma once

#include <cstdint>
#include <string>

// The values a port accepts, checked the same way by every backend so that a host sees the
// same refusal whichever port it drives.
namespace solvard::serial {

enum class Parity { None, Even, Odd, Mark, Space };

// A settings text taken apart: "9600,N,8,1".
struct LineSettings {
  int32_t baudRate = 9600;
  Parity parity = Parity::None;
  int dataBits = 8;
  int stopBits = 1;

  friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// Parses "baud,parity,data bits,stop bits": a positive decimal rate, parity N, E, O, M or S
// (either case), 7 or 8 data bits, 1 or 2 stop bits. Anything else raises 380 "Invalid
// property value"; whether the device can take the rate is the backend's to check.
LineSettings parseSettings(const std::string& text);

// Port numbers start at 1; 0 and below raise 8002 "Invalid port number".
void checkPortNumber(int16_t number);

// A buffer of no bytes cannot hold a reply; 0 and below raise 380 "Invalid property value".
void checkBufferSize(int16_t size);

// 0 (text) or 1 (binary); anything else raises 380.
void checkInputMode(int16_t mode);

}  // namespace solvard::serial
