#include "progress_display.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace solvard::tool {
namespace {

using Clock = std::chrono::steady_clock;

// Redrawing more often than this only costs the terminal time.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string clockText(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

int terminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    int value = 0;
    const std::string_view text(columns);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc() && end == text.data() + text.size() && value >= 20 && value <= 1000) {
      return value;
    }
  }
  return 80;
}

bool progressShown(bool forceOn, bool forceOff) {
  if (forceOff) return false;
  return forceOn || ::isatty(STDERR_FILENO) == 1;
}

ProgressDisplay::ProgressDisplay(std::ostream& out, std::string label, bool shown, int columns)
    : out_(out),
      label_(std::move(label)),
      shown_(shown),
      columns_(columns),
      start_(Clock::now()),
      lastDraw_(start_ - kRedrawEvery) {}

double ProgressDisplay::seconds() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

void ProgressDisplay::update(int32_t done, int32_t total) {
  done_ = done;
  total_ = total;
  if (!shown_) return;
  const auto now = Clock::now();
  if (now - lastDraw_ < kRedrawEvery && done != total) return;
  lastDraw_ = now;
  draw();
}

void ProgressDisplay::log(const std::string& line) {
  if (drawn_) out_ << "\r\x1b[K";
  out_ << "Solvard: " << line << "\n";
  if (drawn_) draw();
  out_.flush();
}

void ProgressDisplay::finish() {
  if (!drawn_) return;
  draw();
  out_ << "\n" << std::flush;
  drawn_ = false;
}

void ProgressDisplay::draw() {
  out_ << "\r" << line(label_, done_, total_, seconds(), columns_) << "\x1b[K" << std::flush;
  drawn_ = true;
}

std::string ProgressDisplay::line(const std::string& label, int32_t done, int32_t total,
                                  double seconds, int columns) {
  const std::size_t room = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
  const double rate = seconds > 0 ? done / seconds : 0.0;
  char rateText[32];
  std::snprintf(rateText, sizeof rateText, " %.0f/s", rate);
  const std::string count = total > 0
                                ? std::to_string(done) + "/" + std::to_string(total) + " records"
                                : std::to_string(done) + " records";
  const std::string left = total > 0 && done > 0 && done < total && rate > 0
                               ? " " + clockText((total - done) / rate) + " left"
                               : std::string();
  // The most that fits wins: the bar and every figure, then without the rate, then without the
  // time left, then the words alone.
  constexpr std::size_t kLeastBar = 6, kMostBar = 40;
  const std::string tails[] = {" " + count + rateText + left, " " + count + left, " " + count};
  if (total > 0) {
    for (const std::string& tail : tails) {
      const std::size_t words = label.size() + 3 + tail.size();
      if (words + kLeastBar > room) continue;
      const std::size_t width = std::min(room - words, kMostBar);
      const std::size_t filled =
          static_cast<std::size_t>(static_cast<double>(width) * std::min(done, total) / total);
      return label + " [" + std::string(filled, '#') + std::string(width - filled, '.') + "]" +
             tail;
    }
  }
  for (std::string text : {label + " " + count + rateText, label + " " + count, count}) {
    if (text.size() <= room) return text;
  }
  std::string text = count;
  text.resize(room);
  return text;
}

}  // namespace solvard::tool
