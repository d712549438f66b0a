// Calls the cipher wrappers and the error log in a process of its own, so
// that a test can load a copy of the kx4data library from a folder of its
// choosing (through LD_LIBRARY_PATH) and read the results from standard output.
#include <iostream>

#include "session/Common.h"
#include "support/RecordingUserInterface.h"

int main() {
  kx4::test::ScopedRecordingUserInterface ui;
  std::cout << "library " << kx4::LibraryFolder() << "\n";
  std::cout << "common " << kx4::CommonFolder() << "\n";
  std::string sealed = kx4::EncipherText("4711", "key one");
  std::cout << "encipher [" << sealed << "]\n";
  std::cout << "decipher [" << kx4::DecipherText(sealed, "key one") << "]\n";
  for (const auto& call : ui->Calls())
    std::cout << "message " << call.style << "|" << call.caption << "|" << call.text << "\n";
  kx4::WriteErrorLog("probe entry");
  return 0;
}
