// A progress bar on standard error for work that takes more than a second,
// drawn only when standard error is a terminal, so that scripts and logs
// never see it.
#ifndef KX4_TOOLS_KX4_PROGRESS_H_
#define KX4_TOOLS_KX4_PROGRESS_H_

#include <cstdint>
#include <functional>
#include <ostream>

namespace kx4::cli {

class Progress {
 public:
  using Clock = std::function<double()>;  // seconds, monotonic

  // On standard error, drawn when it is a terminal.
  Progress();
  // For tests: where it draws, whether that is a terminal, and the clock.
  Progress(std::ostream& out, bool terminal, Clock clock);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // `total` steps to come; -1 when unknown (the bar then counts steps).
  void Start(int64_t total);
  void Advance(int64_t steps = 1);
  // Clears the bar, if one was drawn.
  void Finish();

 private:
  void Draw(double now);

  std::ostream& out_;
  bool terminal_;
  Clock clock_;
  int64_t total_ = -1;
  int64_t done_ = 0;
  double started_ = 0;
  double drawn_at_ = -1;
  bool visible_ = false;
};

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_PROGRESS_H_
