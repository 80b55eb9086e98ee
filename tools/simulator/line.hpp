#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "frame_log.hpp"
#include "link_lock.hpp"

namespace solvard::simulator {

// The simulator's end of the serial line: the master of a pseudo-terminal pair, or a device.
class Line {
 public:
  Line() = default;
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // A new pseudo-terminal pair. The slave stays open here too, so the line survives the library
  // closing and reopening its port. The slave's path is published at `linkPath` if one is
  // given, claimed for this simulator alone (see LinkLock; LinkRefused when it is not free).
  void createPseudoTerminal(const std::string& linkPath);
  // An existing serial device, raw, at `baudRate`.
  void openDevice(const std::string& path, int32_t baudRate);
  void close();

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  // What the library opens: the published link, the slave, or the device served.
  const std::string& path() const { return path_; }

  // The baud rate the line is set to now, as whoever holds the device last set it (on a
  // pseudo-terminal, the library or a device server in front of it); 0 when it is not one of
  // the standard rates or the line is closed.
  int32_t currentBaudRate() const;

  // Writes all of `bytes`, waiting for room as needed; what finds no room for a second is lost,
  // as a serial line's bytes are when nobody reads them, and the simulator can still stop.
  void write(std::span<const uint8_t> bytes);

 private:
  int fd_ = -1;
  int slaveFd_ = -1;
  std::string path_;
  LinkLock link_;
};

// Sleeps until `when` on the monotonic clock (absolute, so pacing does not drift).
void sleepUntil(TimePoint when);

}  // namespace solvard::simulator
