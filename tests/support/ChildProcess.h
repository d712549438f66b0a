// Runs a program as a child process and collects what it printed, how it
// ended and how long it took.
#ifndef KX4DATA_TESTS_SUPPORT_CHILDPROCESS_H_
#define KX4DATA_TESTS_SUPPORT_CHILDPROCESS_H_

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace kx4::test {

struct ChildResult {
  int status = -1;  // exit code, or minus the signal that ended it
  std::string out;
  std::string err;
  double seconds = 0;
};

// `environment` entries "NAME=value" replace or add a variable, a bare "NAME"
// removes it.  `while_running` is called with the child's pid right after it
// started.  With `input` the child reads it as its standard input, in a
// session of its own, so that it has no terminal to fall back on.
inline ChildResult RunChild(const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment = {},
                            const std::function<void(pid_t)>& while_running = {},
                            const std::optional<std::string>& input = std::nullopt) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    std::string current = *entry;
    std::string name = current.substr(0, current.find('='));
    bool replaced = false;
    for (const auto& change : environment)
      replaced = replaced || change.substr(0, change.find('=')) == name;
    if (!replaced)
      env.push_back(current);
  }
  for (const auto& change : environment) {
    if (change.find('=') != std::string::npos)
      env.push_back(change);
  }
  std::vector<char*> args;
  for (const auto& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : env)
    envp.push_back(entry.data());
  envp.push_back(nullptr);

  TempDir output;
  std::string out_path = output / "out";
  std::string err_path = output / "err";
  std::string in_path = output / "in";
  if (input)
    WriteFile(in_path, *input);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0)
      ::_exit(126);
    if (input) {
      int in = ::open(in_path.c_str(), O_RDONLY);
      if (in < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::setsid() < 0)
        ::_exit(126);
    }
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ChildResult result;
  if (pid < 0)
    return result;
  if (while_running)
    while_running(pid);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_SUPPORT_CHILDPROCESS_H_
