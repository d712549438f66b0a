// "kx4 cups": points print queues at the kx4 backend, through lpadmin, so
// that every job they print is recorded (docs/cups.md).
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kx4/Commands.h"
#include "tools/kx4/Context.h"

namespace kx4::cli {
namespace {

constexpr char kPrefix[] = "kx4:";

struct Ran {
  int status = -1;
  std::string output;  // standard output and error together
};

// Runs a CUPS administration program found on the PATH or in /usr/sbin.
Ran RunCupsProgram(const std::string& name, const std::vector<std::string>& args) {
  const std::string folders =
      std::string(std::getenv("PATH") ? std::getenv("PATH") : "") + ":/usr/sbin:/usr/bin";
  std::string program;
  for (size_t start = 0; start < folders.size() && program.empty();) {
    size_t end = folders.find(':', start);
    end = end == std::string::npos ? folders.size() : end;
    const std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0)
      program = candidate;
    start = end + 1;
  }
  if (program.empty())
    throw CommandError("kx4: " + name + " was not found; install the CUPS clients (cups-client)");
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0)
    throw CommandError(std::string("kx4: ") + std::strerror(errno));
  std::vector<char*> argv{program.data()};
  std::vector<std::string> copies = args;
  for (std::string& arg : copies)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::dup2(pipe_fds[1], STDERR_FILENO);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  Ran ran;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipe_fds[0], buffer, sizeof(buffer))) != 0;) {
    if (got > 0)
      ran.output.append(buffer, got);
    else if (errno != EINTR)
      break;
  }
  ::close(pipe_fds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) < 0)
    throw CommandError("kx4: cannot run " + program);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

void Succeed(const Ran& ran, const std::string& what) {
  if (ran.status != 0) {
    std::string output = ran.output;
    while (!output.empty() && output.back() == '\n')
      output.pop_back();
    throw CommandError("kx4: " + what + " failed: " + output);
  }
}

// The device URI of queue `name`, from "device for NAME: URI".
std::string DeviceUri(const std::string& name) {
  Ran ran = RunCupsProgram("lpstat", {"-v", name});
  Succeed(ran, "lpstat -v " + name);
  const std::string marker = "device for " + name + ": ";
  const size_t at = ran.output.find(marker);
  if (at == std::string::npos)
    throw CommandError("kx4: no queue " + name);
  const size_t start = at + marker.size();
  return ran.output.substr(start, ran.output.find('\n', start) - start);
}

void SetDevice(const std::string& name, const std::string& uri) {
  Succeed(RunCupsProgram("lpadmin", {"-p", name, "-v", uri}), "lpadmin -p " + name);
}

}  // namespace

void AddCupsCommands(CLI::App& root, Context& context) {
  CLI::App* cups = AddGroup(root, "cups", "Set up CUPS queues whose jobs are recorded");

  struct Queue {
    std::string name;
    std::string uri;
    std::string model;
  };
  auto queue = std::make_shared<Queue>();
  CLI::App* add = cups->add_subcommand(
      "add-queue", "Add an enabled queue that prints to URI through the kx4 backend");
  add->add_option("NAME", queue->name, "The queue's name")->required();
  add->add_option("URI", queue->uri, "The printer's device URI, such as socket://10.0.0.5:9100")
      ->required();
  add->add_option("-m,--model", queue->model, "The driver (lpadmin -m), such as everywhere");
  add->callback([&context, queue] {
    if (queue->uri.rfind(kPrefix, 0) == 0)
      throw CommandError("kx4: give the printer's own device URI, without kx4:");
    std::vector<std::string> args{"-p", queue->name, "-E", "-v", kPrefix + queue->uri};
    if (!queue->model.empty())
      args.insert(args.end(), {"-m", queue->model});
    Succeed(RunCupsProgram("lpadmin", args), "lpadmin -p " + queue->name);
    context.Out() << "Queue " << queue->name << " prints to " << queue->uri
                  << " and records its jobs.\n";
  });

  for (const bool wrap : {true, false}) {
    auto name = std::make_shared<std::string>();
    CLI::App* command = wrap ? cups->add_subcommand("wrap", "Record the jobs of an existing queue")
                             : cups->add_subcommand("unwrap", "Stop recording the jobs of a queue");
    command->add_option("NAME", *name, "The queue's name")->required();
    command->callback([&context, name, wrap] {
      const std::string uri = DeviceUri(*name);
      const bool wrapped = uri.rfind(kPrefix, 0) == 0;
      if (wrap == wrapped) {
        context.Out() << "Queue " << *name << (wrapped ? " already records" : " does not record")
                      << " its jobs.\n";
        return;
      }
      SetDevice(*name, wrap ? kPrefix + uri : uri.substr(sizeof(kPrefix) - 1));
      context.Out() << "Queue " << *name << (wrap ? " now records" : " no longer records")
                    << " its jobs.\n";
    });
  }
}

}  // namespace kx4::cli
