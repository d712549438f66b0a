#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"

namespace kx4 {
namespace {

using namespace std::chrono_literals;

constexpr char kUsage[] =
    "Usage:\tsleep <seconds>\nExample:  sleep 3.4   ...sleeps for 3.4 seconds.";
// Generous for a loaded machine, yet well below any wait it must tell apart.
constexpr double kPromptly = 0.5;

test::ChildResult Sleep(std::vector<std::string> args,
                        const std::function<void(pid_t)>& while_running = {}) {
  args.insert(args.begin(), KX4_SLEEP);
  return test::RunChild(args, {}, while_running);
}

TEST(Sleep, WrongArgumentCountPrintsTheUsageAndReturnsAtOnce) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"1", "2"}}) {
    test::ChildResult run = Sleep(args);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(run.seconds, kPromptly);
  }
}

TEST(Sleep, WaitsAFractionalNumberOfSeconds) {
  test::ChildResult run = Sleep({"3.4"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_GE(run.seconds, 3.4);
  EXPECT_LT(run.seconds, 3.4 + 1.0);
}

TEST(Sleep, ReadsTheArgumentAsAtofDoes) {
  test::ChildResult exponent = Sleep({"1e-1"});  // 1 s if the exponent were dropped
  EXPECT_EQ(exponent.status, 0);
  EXPECT_GE(exponent.seconds, 0.1);
  EXPECT_LT(exponent.seconds, 0.9);
  test::ChildResult padded = Sleep({"  0.2 seconds"});
  EXPECT_EQ(padded.status, 0);
  EXPECT_GE(padded.seconds, 0.2);
  EXPECT_LT(padded.seconds, 0.9);
}

TEST(Sleep, NothingToWaitReturnsAtOnce) {
  for (const char* arg : {"abc", "0", "0.0005", "-5", "-1e300", "nan", ""}) {
    test::ChildResult run = Sleep({arg});
    EXPECT_EQ(run.status, 0) << arg;
    EXPECT_EQ(run.out, "") << arg;
    EXPECT_LT(run.seconds, kPromptly) << arg;
  }
}

TEST(Sleep, WaitsBeyondTheMillisecondRangeAreClampedNotWrapped) {
  // 2^32 ms would wrap to 0 in a plain 32-bit conversion.
  for (const char* arg : {"4294967.296", "1e12", "inf"}) {
    test::ChildResult run = Sleep({arg}, [](pid_t pid) {
      std::this_thread::sleep_for(std::chrono::duration<double>(kPromptly));
      ::kill(pid, SIGKILL);
    });
    EXPECT_EQ(run.status, -SIGKILL) << arg << " did not wait";
  }
}

TEST(Sleep, StopAndContinueDoNotShortenTheWait) {
  test::ChildResult run = Sleep({"1"}, [](pid_t pid) {
    std::this_thread::sleep_for(200ms);
    ::kill(pid, SIGSTOP);
    std::this_thread::sleep_for(100ms);
    ::kill(pid, SIGCONT);
    ::kill(pid, SIGWINCH);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_GE(run.seconds, 1.0);
}

}  // namespace
}  // namespace kx4
