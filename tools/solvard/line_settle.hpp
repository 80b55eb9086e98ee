#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "solvard/error.hpp"
#include "solvard/line.hpp"

namespace solvard::tool {

// Bytes an earlier exchange left on their way (a clock that went on streaming the records of a
// download that was stopped, or into a network connection that dropped) would be read as the
// next terminal's reply: the line is read until it has been silent for twenty characters' time,
// at least 100 ms (at least 500 ms through a device server, whose network delivers a stream in
// bursts with gaps between them that a local line never has), and for at most a minute, which
// covers the longest stream a clock sends at the slowest rate.
inline constexpr std::chrono::milliseconds kLongestStream{60'000};
std::chrono::milliseconds quietTime(uint32_t baud, const std::string& device);

// Waits for the line to go quiet and says on `log` how many bytes it dropped. An error only
// when the line does not go quiet within kLongestStream; a port that does not open is left to
// the exchange that follows to report.
std::optional<Error> settleLine(Line& line, uint32_t baud, const std::string& device,
                                const std::function<void(const std::string&)>& log);

}  // namespace solvard::tool
