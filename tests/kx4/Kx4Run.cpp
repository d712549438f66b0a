#include "kx4/Kx4Run.h"

#include <poll.h>
#include <pty.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

namespace kx4::test {
namespace {

// Reads what the terminal shows until `until` appears (or, when empty, the
// program closes it); false after a generous time-out.
bool ReadScreen(int master, std::string& screen, const std::string& until) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (until.empty() || screen.find(until) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return false;
    pollfd ready{master, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
      continue;
    char buffer[512];
    const ssize_t got = ::read(master, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return until.empty();  // EIO once the program has closed the terminal
    screen.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

}  // namespace

ChildResult Kx4(const std::vector<std::string>& args, const std::string& input,
                const std::vector<std::string>& environment) {
  std::vector<std::string> argv{KX4_TOOL};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunChild(argv, environment, {}, input);
}

TerminalRun Kx4OnTerminal(const std::vector<std::string>& args,
                          const std::vector<std::pair<std::string, std::string>>& dialogue) {
  std::vector<std::string> argv{KX4_TOOL};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (auto& arg : argv)
    pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  TerminalRun run;
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  if (pid < 0)
    return run;
  for (const auto& [prompt, reply] : dialogue) {
    if (!ReadScreen(master, run.screen, prompt)) {
      ADD_FAILURE() << "no prompt \"" << prompt << "\"; the screen shows:\n" << run.screen;
      break;
    }
    const std::string line = reply + "\n";
    if (::write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
      ADD_FAILURE() << "could not type the reply";
  }
  ReadScreen(master, run.screen, "");
  ::close(master);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  return run;
}

std::string Python(const std::string& script, const std::string& input) {
  ChildResult run = RunChild({"/usr/bin/python3", "-c", script}, {}, {}, input);
  if (run.status != 0) {
    ADD_FAILURE() << "python3 failed (" << run.status << "): " << run.err << "\non:\n" << input;
    return "";
  }
  return run.out;
}

}  // namespace kx4::test
