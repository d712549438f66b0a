#include "tools/cups/Backend.h"

int main(int argc, char** argv) {
  return kx4::cups::RunBackend(argc, argv);
}
