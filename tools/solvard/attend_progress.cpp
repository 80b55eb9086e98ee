#include "attend_progress.hpp"

#include <cstdio>
#include <ostream>

namespace solvard::tool {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBarWidth = 24;
// Often enough to look smooth, seldom enough to cost nothing next to the line's own pace.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string minutesAndSeconds(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

DownloadProgress::DownloadProgress(std::ostream& out, bool terminal)
    : out_(out), terminal_(terminal), start_(Clock::now()) {
  savedProgress_ =
      ui::setProgressSink([this](int32_t done, int32_t total) { progress(done, total); });
  savedLog_ = ui::setLogSink([this](const std::string& text) { log(text); });
}

DownloadProgress::~DownloadProgress() {
  finish();
  ui::setLogSink(std::move(savedLog_));
  ui::setProgressSink(std::move(savedProgress_));
}

double DownloadProgress::seconds() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

std::string DownloadProgress::line(int32_t done, int32_t total, double seconds) {
  const int filled = total > 0 ? static_cast<int>(int64_t{done} * kBarWidth / total) : 0;
  std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "%d/%d records", done, total);
  text += numbers;
  if (done > 0 && seconds > 0) {
    const double rate = done / seconds;
    if (done < total) {
      std::snprintf(numbers, sizeof numbers, "  %.1f/s  %s left", rate,
                    minutesAndSeconds((total - done) / rate).c_str());
    } else {
      std::snprintf(numbers, sizeof numbers, "  %.1f/s  in %s", rate,
                    minutesAndSeconds(seconds).c_str());
    }
    text += numbers;
  }
  return text;
}

void DownloadProgress::progress(int32_t done, int32_t total) {
  if (done == 0) start_ = Clock::now();  // the rate counts from the first record on its way
  done_ = done;
  total_ = total;
  if (!terminal_) return;
  const auto now = Clock::now();
  if (done == total || now - lastDraw_ >= kRedrawEvery) {
    lastDraw_ = now;
    draw();
  }
}

void DownloadProgress::draw() {
  out_ << "\r" << line(done_, total_, seconds()) << "\033[K" << std::flush;
  drawn_ = true;
}

void DownloadProgress::log(const std::string& text) {
  ++logLines_;
  if (drawn_) out_ << "\r\033[K";
  out_ << text << "\n";
  if (drawn_) draw();
  out_ << std::flush;
}

void DownloadProgress::finish() {
  if (!drawn_) return;
  draw();
  out_ << "\n" << std::flush;
  drawn_ = false;
}

}  // namespace solvard::tool
