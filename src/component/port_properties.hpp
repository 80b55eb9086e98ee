#pragma once

#include <cstdint>

namespace solvard::component {

// The serial-port properties each object keeps for itself. A stored 0 stands for the default,
// so a fresh object reads 9600 baud and 1024/512-byte buffers. Nothing else is checked: a
// negative value or a missing port fails only when a command applies it to the port.
class PortProperties {
 public:
  static constexpr int16_t kDefaultBaudRate = 9600;
  static constexpr int16_t kDefaultInBufferSize = 1024;
  static constexpr int16_t kDefaultOutBufferSize = 512;

  int16_t portId() const { return portId_; }
  void letPortId(int16_t v) { portId_ = v; }

  int16_t baudRate() const { return orDefault(baudRate_, kDefaultBaudRate); }
  void letBaudRate(int16_t v) { baudRate_ = orDefault(v, kDefaultBaudRate); }

  int16_t inBufferSize() const { return orDefault(inBufferSize_, kDefaultInBufferSize); }
  void letInBufferSize(int16_t v) { inBufferSize_ = orDefault(v, kDefaultInBufferSize); }

  int16_t outBufferSize() const { return orDefault(outBufferSize_, kDefaultOutBufferSize); }
  void letOutBufferSize(int16_t v) { outBufferSize_ = orDefault(v, kDefaultOutBufferSize); }

 private:
  static int16_t orDefault(int16_t v, int16_t fallback) { return v == 0 ? fallback : v; }

  int16_t portId_ = 0;
  int16_t baudRate_ = 0;
  int16_t inBufferSize_ = 0;
  int16_t outBufferSize_ = 0;
};

}  // namespace solvard::component
