#include "tools/kx4/Progress.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>

namespace kx4::cli {
namespace {

constexpr double kQuietSeconds = 1.0;   // work shorter than this shows nothing
constexpr double kRedrawSeconds = 0.1;  // at most ten frames a second
constexpr int kBarWidth = 40;

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Progress::Progress() : Progress(std::cerr, ::isatty(STDERR_FILENO) == 1, SteadySeconds) {}

Progress::Progress(std::ostream& out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(std::move(clock)) {}

Progress::~Progress() {
  Finish();
}

void Progress::Start(int64_t total) {
  total_ = total;
  done_ = 0;
  started_ = clock_();
  drawn_at_ = -1;
}

void Progress::Advance(int64_t steps) {
  done_ += steps;
  if (!terminal_)
    return;
  const double now = clock_();
  if (now - started_ < kQuietSeconds || (drawn_at_ >= 0 && now - drawn_at_ < kRedrawSeconds))
    return;
  Draw(now);
}

void Progress::Draw(double now) {
  drawn_at_ = now;
  visible_ = true;
  std::string line = "\r";
  if (total_ > 0) {
    const int64_t done = done_ < total_ ? done_ : total_;
    const int filled = static_cast<int>(done * kBarWidth / total_);
    line += '[';
    line.append(filled, '#');
    line.append(kBarWidth - filled, ' ');
    line += "] ";
    line += std::to_string(done * 100 / total_);
    line += '%';
  } else {
    line += std::to_string(done_);
    line += " done";
  }
  out_ << line << std::flush;
}

void Progress::Finish() {
  if (!visible_)
    return;
  visible_ = false;
  // Blank the line so that what follows starts clean.
  out_ << '\r' << std::string(kBarWidth + 8, ' ') << '\r' << std::flush;
}

}  // namespace kx4::cli
