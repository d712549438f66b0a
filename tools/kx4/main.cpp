#include <unistd.h>

#include <iostream>

#include "tools/kx4/Cli.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return kx4::cli::Run(argc, argv, std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) == 1);
}
