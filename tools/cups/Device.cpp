#include "tools/cups/Device.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

extern char** environ;

namespace kx4::cups {
namespace {

volatile sig_atomic_t child_pid = 0;
volatile sig_atomic_t cancelled = 0;

void PassOnTerminate(int) {
  cancelled = 1;
  if (child_pid > 0)
    ::kill(child_pid, SIGTERM);
}

void Report(const std::string& what) {
  std::cerr << "ERROR: " << what << std::endl;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Copies everything of `in` to `out`; false with errno on failure.
bool CopyAll(int in, int out) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got == 0)
      return true;
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out, buffer.data() + done, got - done);
      if (put < 0 && errno != EINTR)
        return false;
      done += put > 0 ? put : 0;
    }
  }
}

// As the scheduler requires of what it runs as root.
std::string UnsafeForRoot(const struct stat& status) {
  if (status.st_uid != 0)
    return "does not belong to root";
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return "may be changed by others than root";
  return "";
}

}  // namespace

std::string SchemeOf(std::string_view uri) {
  const size_t colon = uri.find(':');
  if (colon == 0 || colon == std::string_view::npos ||
      !std::isalpha(static_cast<unsigned char>(uri[0])))
    return "";
  std::string scheme;
  for (char c : uri.substr(0, colon)) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
      return "";
    scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return scheme;
}

std::optional<std::string> RealUri(std::string_view device_uri) {
  if (SchemeOf(device_uri) != "kx4")
    return std::nullopt;
  std::string real(device_uri.substr(4));
  // "kx4:kx4:..." would run this wrapper again, for ever.
  const std::string scheme = SchemeOf(real);
  if (scheme.empty() || scheme == "kx4")
    return std::nullopt;
  return real;
}

std::string WithoutCredentials(std::string_view uri) {
  const size_t authority = uri.find("://");
  if (authority == std::string_view::npos)
    return std::string(uri);
  const size_t start = authority + 3;
  const size_t end = uri.find_first_of("/?#", start);
  const std::string_view host =
      uri.substr(start, end == std::string_view::npos ? end : end - start);
  const size_t at = host.rfind('@');
  if (at == std::string_view::npos)
    return std::string(uri);
  return std::string(uri.substr(0, start)) + std::string(uri.substr(start + at + 1));
}

std::optional<std::string> FilePath(std::string_view uri) {
  if (SchemeOf(uri) != "file")
    return std::nullopt;
  std::string_view rest = uri.substr(5);
  if (rest.rfind("//", 0) == 0) {
    rest.remove_prefix(2);
    // Only the local host, written as nothing or as "localhost".
    if (rest.rfind("localhost/", 0) == 0)
      rest.remove_prefix(9);
  }
  if (rest.empty() || rest.front() != '/')
    return std::nullopt;
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexDigit(rest[i + 1]) >= 0 &&
        HexDigit(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
      i += 2;
    } else if (rest[i] == '?' || rest[i] == '#') {
      break;
    } else {
      path += rest[i];
    }
  }
  if (path.find('\0') != std::string::npos)
    return std::nullopt;
  return path;
}

std::string BackendFolder() {
  if (const char* serverbin = std::getenv("CUPS_SERVERBIN"); serverbin && serverbin[0] == '/')
    return std::string(serverbin) + "/backend";
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0)
    return "/usr/lib/cups/backend";
  std::string path(self, length);
  return path.substr(0, path.rfind('/'));
}

int RunRealBackend(const std::string& program, char** argv, const std::string& real_uri,
                   int data_fd, const std::optional<Account>& account) {
  struct stat status {};
  if (::stat(program.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
      ::access(program.c_str(), X_OK) != 0) {
    Report("kx4: no backend " + program + " for " + SchemeOf(real_uri) + ": URIs");
    return kBackendStop;
  }
  const bool as_root = ::geteuid() == 0;
  const bool keep_root = (status.st_mode & (S_IROTH | S_IXOTH)) != (S_IROTH | S_IXOTH);
  if (as_root) {
    if (std::string unsafe = UnsafeForRoot(status); !unsafe.empty()) {
      Report("kx4: the backend " + program + " " + unsafe);
      return kBackendStop;
    }
  }
  const bool drop = as_root && !keep_root && account.has_value();

  std::vector<std::string> arguments(argv, argv + (argv[6] != nullptr ? 7 : 6));
  arguments[0] = WithoutCredentials(real_uri);
  std::vector<char*> args;
  for (std::string& argument : arguments)
    args.push_back(argument.data());
  args.push_back(nullptr);
  const std::string device = "DEVICE_URI=" + real_uri;
  std::vector<char*> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "DEVICE_URI=", 11) != 0)
      env.push_back(*entry);
  }
  env.push_back(const_cast<char*>(device.c_str()));
  env.push_back(nullptr);

  // SIGTERM waits until the child is known, so a cancel is never lost.
  sigset_t terminate, previous;
  sigemptyset(&terminate);
  sigaddset(&terminate, SIGTERM);
  ::sigprocmask(SIG_BLOCK, &terminate, &previous);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGTERM, SIG_DFL);
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (data_fd >= 0 && (::lseek(data_fd, 0, SEEK_SET) != 0 || ::dup2(data_fd, 0) < 0))
      ::_exit(kBackendFailed);
    if (drop && (::setgroups(1, &account->gid) != 0 || ::setgid(account->gid) != 0 ||
                 ::setuid(account->uid) != 0)) {
      Report(std::string("kx4: cannot run the backend as ") + account->name + ": " +
             std::strerror(errno));
      ::_exit(kBackendFailed);
    }
    ::execve(program.c_str(), args.data(), env.data());
    Report("kx4: cannot run " + program + ": " + std::strerror(errno));
    ::_exit(kBackendFailed);
  }
  if (pid < 0) {
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    Report(std::string("kx4: cannot start the backend: ") + std::strerror(errno));
    return kBackendRetry;
  }
  child_pid = pid;
  struct sigaction action {};
  action.sa_handler = PassOnTerminate;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
  }
  child_pid = 0;
  if (WIFEXITED(wait_status))
    return WEXITSTATUS(wait_status);
  return kBackendFailed;
}

bool Cancelled() {
  return cancelled != 0;
}

int WriteFileDevice(const std::string& path, int data_fd) {
  const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (out < 0) {
    Report("kx4: cannot write " + path + ": " + std::strerror(errno));
    return kBackendFailed;
  }
  const bool written = ::lseek(data_fd, 0, SEEK_SET) == 0 && CopyAll(data_fd, out) &&
                       (::fsync(out) == 0 || errno == EINVAL || errno == EROFS);
  const int error = errno;
  if (::close(out) != 0 || !written) {
    Report("kx4: cannot write " + path + ": " + std::strerror(written ? errno : error));
    return kBackendFailed;
  }
  return kBackendOk;
}

int OpenJobData(const char* file, std::string& path) {
  if (file != nullptr) {
    path = file;
    const int fd = ::open(file, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
      Report(std::string("kx4: cannot read ") + file + ": " + std::strerror(errno));
    return fd;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string name = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/kx4-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    Report("kx4: cannot keep the job's data: " + std::string(std::strerror(errno)));
    return -1;
  }
  ::unlink(name.c_str());
  if (!CopyAll(STDIN_FILENO, fd)) {
    Report("kx4: cannot keep the job's data: " + std::string(std::strerror(errno)));
    ::close(fd);
    return -1;
  }
  path = "/proc/self/fd/" + std::to_string(fd);
  return fd;
}

}  // namespace kx4::cups
