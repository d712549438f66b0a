// The parts of the tool that talk to a person: the progress bar and the
// secrets, and --help on every command.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <sstream>

#include "tools/kx4/Cli.h"
#include "tools/kx4/Context.h"
#include "tools/kx4/Progress.h"
#include "tools/kx4/Secrets.h"

namespace kx4::cli {
namespace {

struct FakeClock {
  double now = 100;
  Progress::Clock Clock() {
    return [this] { return now; };
  }
};

TEST(Progress, DrawsOnlyOnATerminalAndOnlyAfterASecond) {
  FakeClock clock;
  std::ostringstream piped;
  Progress quiet(piped, false, clock.Clock());
  quiet.Start(10);
  clock.now += 5;
  quiet.Advance(5);
  quiet.Finish();
  EXPECT_EQ(piped.str(), "");

  std::ostringstream screen;
  {
    Progress bar(screen, true, clock.Clock());
    bar.Start(4);
    clock.now += 0.9;
    bar.Advance();
    EXPECT_EQ(screen.str(), "") << "short work shows nothing";
    clock.now += 0.2;
    bar.Advance();
    EXPECT_EQ(screen.str(), "\r[" + std::string(20, '#') + std::string(20, ' ') + "] 50%");
    bar.Advance();  // within a tenth of a second: not drawn again
    EXPECT_EQ(screen.str().size(), 47u);
  }
  // Gone again once the work is done.
  EXPECT_EQ(screen.str().substr(47), "\r" + std::string(48, ' ') + "\r");
}

TEST(Secrets, InputLinesComeInOrderAndRunningOutIsAUsageError) {
  std::istringstream in("pw\r\n1234\n");
  std::ostringstream prompts;
  Secrets secrets(in, prompts, false);
  EXPECT_EQ(secrets.FromInput("password"), "pw");
  EXPECT_EQ(secrets.FromInput("PIN code"), "1234");
  EXPECT_THROW(secrets.FromInput("new PIN code"), CLI::ValidationError);
  try {
    secrets.FromTerminal("PIN code", false, "--pin-stdin");
    FAIL() << "asked without a terminal";
  } catch (const CLI::ValidationError& e) {
    EXPECT_NE(std::string(e.what()).find("--pin-stdin"), std::string::npos) << e.what();
  }
  EXPECT_EQ(prompts.str(), "");
}

TEST(Secrets, ConfirmationMustMatch) {
  std::istringstream in("1234\n4321\n");
  std::ostringstream prompts;
  Secrets secrets(in, prompts, true);  // not a real terminal: echo stays as it is
  EXPECT_THROW(secrets.FromTerminal("PIN code for Jo", true, "--new-pin-stdin"), CommandError);
  EXPECT_EQ(prompts.str(), "PIN code for Jo: Again: ");
}

int RunTool(const std::vector<std::string>& args, std::string& out, std::string& err) {
  std::vector<const char*> argv{"kx4"};
  for (const auto& arg : args)
    argv.push_back(arg.c_str());
  std::istringstream in;
  std::ostringstream o, e;
  int status = Run(static_cast<int>(argv.size()), argv.data(), in, o, e, false);
  out = o.str();
  err = e.str();
  return status;
}

// Every command and subcommand answers --help on standard output with
// status 0, and a missing subcommand is a usage error.
TEST(Cli, EveryCommandHasHelp) {
  std::string out, err;
  ASSERT_EQ(RunTool({"--help"}, out, err), 0);
  std::vector<std::vector<std::string>> pending;
  for (const char* group :
       {"init", "connection", "user", "printer", "paper", "app", "settings", "security", "report"})
    pending.push_back({group});
  int seen = 0;
  while (!pending.empty()) {
    std::vector<std::string> path = pending.back();
    pending.pop_back();
    std::vector<std::string> args = path;
    args.push_back("--help");
    ASSERT_EQ(RunTool(args, out, err), 0) << path.back() << ": " << err;
    EXPECT_NE(out.find("Usage: kx4 "), std::string::npos) << out;
    ++seen;
    const std::string help = out;
    const size_t subcommands = help.find("Subcommands:\n");
    if (subcommands == std::string::npos)
      continue;
    EXPECT_EQ(RunTool(path, out, err), kExitUsage) << path.back();
    std::istringstream lines(help.substr(subcommands + 13));
    for (std::string line; std::getline(lines, line) && line.rfind("  ", 0) == 0;) {
      std::vector<std::string> child = path;
      child.push_back(line.substr(2, line.find(' ', 2) - 2));
      pending.push_back(child);
    }
  }
  EXPECT_GE(seen, 30);
}

}  // namespace
}  // namespace kx4::cli
