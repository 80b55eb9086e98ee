#include "attend/paced_port.hpp"

#include <algorithm>
#include <charconv>

#include "serial/deadline_sleep.hpp"

namespace solvard::attend {

std::chrono::microseconds PacedPort::pause(int waiting, Clock::time_point now) const {
  const int missing = streamed_ - waiting;
  if (streamed_ < 2 || waiting >= needed_ || baudRate_ <= 0 || now >= deadline_) return {};
  // A byte is 10 bit times on the line: start bit, 8 data bits, stop bit.
  const std::chrono::microseconds lineTime(int64_t{missing} * 10'000'000 / baudRate_);
  const auto untilDeadline = std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - now);
  return std::min({lineTime, untilDeadline,
                   std::chrono::duration_cast<std::chrono::microseconds>(longestPause_)});
}

void PacedPort::PortOpen(bool open) {
  known_ = 0;
  port_.PortOpen(open);
}

int PacedPort::InBufferCount() {
  known_ = 0;  // a count that fails knows nothing
  known_ = port_.InBufferCount();
  return known_;
}

void PacedPort::InBufferCount(int count) {
  port_.InBufferCount(count);
  known_ = 0;
}

serial::Bytes PacedPort::Input() {
  serial::Bytes taken = port_.Input();
  known_ = std::max(0, known_ - static_cast<int>(taken.size()));
  return taken;
}

void PacedPort::waitForInput(std::chrono::milliseconds limit) {
  if (baudRate_ > 0 && needed_ > 0 && known_ >= needed_) return;  // the wait counts them next
  const std::chrono::microseconds sleep = pause(known_, Clock::now());
  if (sleep.count() == 0) {
    port_.waitForInput(limit);
    return;
  }
  // By then the missing bytes have been on the line: the wait counts them next. The pause is
  // measured on the steady clock to its end, also where the library's sleep may end early.
  serial::sleepFor(sleep);
}

int32_t baudRateOf(const std::string& settingsText) {
  int32_t rate = 0;
  const auto [end, error] =
      std::from_chars(settingsText.data(), settingsText.data() + settingsText.size(), rate);
  return error == std::errc() ? rate : 0;
}

}  // namespace solvard::attend
