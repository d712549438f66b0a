// What the crash and power-cut tests share: how many rounds to run, the
// random source (its seed printed, so a failing round can be replayed), a
// child killed with SIGKILL at a chosen moment, and the figures line the long
// runs are read from.
#ifndef KX4DATA_TESTS_RELIABILITY_HARNESS_H_
#define KX4DATA_TESTS_RELIABILITY_HARNESS_H_

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace kx4::reliability {

// $KX4_RELIABILITY_ROUNDS, else `fallback` (the CI figure).
inline int Rounds(int fallback) {
  const char* text = std::getenv("KX4_RELIABILITY_ROUNDS");
  const int rounds = text != nullptr ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : fallback;
}

// Seeded from $KX4_RELIABILITY_SEED when set, else at random.
class Chance {
 public:
  explicit Chance(const char* harness) {
    const char* text = std::getenv("KX4_RELIABILITY_SEED");
    seed_ = text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10))
                            : std::random_device()();
    engine_.seed(seed_);
    std::printf("[%s] KX4_RELIABILITY_SEED=%u\n", harness, seed_);
  }
  uint32_t Seed() const { return seed_; }
  // Uniform in [low, high].
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
  bool OneIn(int n) { return Between(1, n) == 1; }

 private:
  uint32_t seed_;
  std::mt19937 engine_;
};

// Runs the child and kills it `delay` after it started; a child that ended
// by itself before that has status >= 0.
inline test::ChildResult RunAndKill(const std::vector<std::string>& argv,
                                    std::chrono::microseconds delay) {
  return test::RunChild(argv, {}, [delay](pid_t pid) {
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
  });
}

// One line the long runs are read from: "FIGURES <harness> name=value ...".
inline void Figures(const std::string& harness, const std::string& values) {
  std::printf("FIGURES %s %s\n", harness.c_str(), values.c_str());
  std::fflush(stdout);
}

}  // namespace kx4::reliability

#endif  // KX4DATA_TESTS_RELIABILITY_HARNESS_H_
