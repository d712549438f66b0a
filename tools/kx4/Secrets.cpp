#include "tools/kx4/Secrets.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "tools/kx4/Context.h"

namespace kx4::cli {
namespace {

// The terminal's settings while echo is off, for the signal handler: an
// interrupted prompt must not leave the user's terminal silent.
struct termios g_saved_terminal;

extern "C" void RestoreEchoAndDie(int signal_number) {
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved_terminal);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &g_saved_terminal) != 0)
      return;
    struct sigaction action {};
    action.sa_handler = RestoreEchoAndDie;
    ::sigemptyset(&action.sa_mask);
    for (int s = 0; s < 3; ++s)
      ::sigaction(kSignals[s], &action, &previous_[s]);
    struct termios quiet = g_saved_terminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_)
      ::tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    for (int s = 0; s < 3; ++s)
      ::sigaction(kSignals[s], &previous_[s], nullptr);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction previous_[3]{};
  bool active_ = false;
};

}  // namespace

Secrets::Secrets(std::istream& in, std::ostream& prompts, bool terminal)
    : in_(in), prompts_(prompts), terminal_(terminal) {}

std::string Secrets::FromInput(const std::string& what) {
  std::string line;
  if (!std::getline(in_, line))
    throw CLI::ValidationError("standard input", "has no line left for the " + what);
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return line;
}

std::string Secrets::FromTerminal(const std::string& prompt, bool confirm,
                                  const std::string& stdin_option) {
  if (!terminal_)
    throw CLI::ValidationError(prompt, "there is no terminal to ask on; give " + stdin_option +
                                           " and write it to standard input");
  std::string secret = ReadHidden(prompt + ": ");
  if (confirm && ReadHidden("Again: ") != secret)
    throw CommandError("The two entries differ; nothing was changed.");
  return secret;
}

std::string Secrets::ReadHidden(const std::string& prompt) {
  std::string line;
  {
    // Echo goes off before the prompt shows, so nothing typed after it is
    // ever echoed.
    EchoOff quiet;
    prompts_ << prompt << std::flush;
    if (!std::getline(in_, line))
      throw CommandError("The terminal closed before anything was typed.");
  }
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return line;
}

}  // namespace kx4::cli
