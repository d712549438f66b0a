// The kx4 command line: parses the arguments, runs the command and returns
// the exit status (0 done, 1 refused or failed, 2 usage error).
#ifndef KX4_TOOLS_KX4_CLI_H_
#define KX4_TOOLS_KX4_CLI_H_

#include <istream>
#include <ostream>

namespace kx4::cli {

// `terminal_input`: whether `in` is a terminal to ask secrets on.
int Run(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err,
        bool terminal_input);

}  // namespace kx4::cli

#endif  // KX4_TOOLS_KX4_CLI_H_
