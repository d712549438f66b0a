// sleep <seconds>: blocks for the given, possibly fractional, number of
// seconds.  Chosen behaviour where the classic tool left it open:
// - exit status 0 after a wait, 1 after the usage text;
// - negative and not-a-number values wait nothing;
// - waits beyond the unsigned 32-bit millisecond range (about 49.7 days) are
//   clamped to it;
// - a signal that interrupts the wait does not shorten it: the wait runs to
//   an absolute deadline on the monotonic clock.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr char kUsage[] =
    "Usage:\tsleep <seconds>\nExample:  sleep 3.4   ...sleeps for 3.4 seconds.";

uint32_t Milliseconds(double seconds) {
  double ms = std::trunc(seconds * 1000.0);
  if (!(ms > 0.0))  // also NaN
    return 0;
  if (ms >= 4294967295.0)
    return UINT32_MAX;
  return static_cast<uint32_t>(ms);
}

void Wait(uint32_t ms) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += ms / 1000;
  deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs(kUsage, stdout);
    return 1;
  }
  uint32_t ms = Milliseconds(std::atof(argv[1]));
  if (ms > 0)
    Wait(ms);
  return 0;
}
