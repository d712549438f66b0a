// PIN codes and passwords: typed on the terminal without echo, or read from
// standard input one line each when the caller asked for that.  Never from
// the environment or the command line, where other users can read them.
#ifndef KX4_TOOLS_KX4_SECRETS_H_
#define KX4_TOOLS_KX4_SECRETS_H_

#include <istream>
#include <ostream>
#include <string>

namespace kx4::cli {

class Secrets {
 public:
  // `terminal`: whether `in` is a terminal whose echo can be turned off.
  Secrets(std::istream& in, std::ostream& prompts, bool terminal);

  // The next line of `in`, without its line end.  A usage error when the
  // input has ended.
  std::string FromInput(const std::string& what);
  // Asks with `prompt`, echo off; with `confirm` asks again and fails when
  // the two differ.  A usage error when there is no terminal, naming
  // `stdin_option` as the way to give it instead.
  std::string FromTerminal(const std::string& prompt, bool confirm,
                           const std::string& stdin_option);
  bool Terminal() const { return terminal_; }

 private:
  std::string ReadHidden(const std::string& prompt);

  std::istream& in_;
  std::ostream& prompts_;
  bool terminal_;
};

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_SECRETS_H_
