// A stand-in for a real backend: prints what it was given (arguments,
// DEVICE_URI, its user, the data on standard input) and exits with
// $FAKE_STATUS.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  for (int i = 0; i < argc; ++i)
    std::cout << "argv" << i << "=" << argv[i] << "\n";
  const char* device = std::getenv("DEVICE_URI");
  std::cout << "DEVICE_URI=" << (device ? device : "") << "\n";
  std::cout << "uid=" << ::getuid() << "\n";
  std::cout << "data=" << std::string(std::istreambuf_iterator<char>(std::cin), {}) << "\n";
  const char* status = std::getenv("FAKE_STATUS");
  return status ? std::atoi(status) : 0;
}
