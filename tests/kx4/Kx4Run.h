// Runs the kx4 tool as a program: with standard input and no terminal, or
// on a pseudo-terminal that answers its prompts; and parses what it printed
// with Python's own csv and json modules.
#ifndef KX4DATA_TESTS_KX4_KX4RUN_H_
#define KX4DATA_TESTS_KX4_KX4RUN_H_

#include <string>
#include <utility>
#include <vector>

#include "support/ChildProcess.h"

namespace kx4::test {

// kx4 with `args`, reading `input`, without a terminal.  `environment` as
// for RunChild.
ChildResult Kx4(const std::vector<std::string>& args, const std::string& input = "",
                const std::vector<std::string>& environment = {});

struct TerminalRun {
  int status = -1;
  std::string screen;  // everything the terminal showed
};
// kx4 on a new pseudo-terminal; each reply is typed once its prompt shows.
TerminalRun Kx4OnTerminal(const std::vector<std::string>& args,
                          const std::vector<std::pair<std::string, std::string>>& dialogue);

// What `python3 -c script` prints reading `input`; empty with a test
// failure when Python fails.
std::string Python(const std::string& script, const std::string& input);

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_KX4_KX4RUN_H_
