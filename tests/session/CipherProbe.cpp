// Uses the cipher library and the error log through the public API only, in a
// process of its own, so that a test can load a copy of the kx4data library
// from a folder of its choosing (through LD_LIBRARY_PATH) and read the
// results from standard output:  cipher_probe <empty file>.
#include <kx4data/ConnectionSettings.h>
#include <kx4data/KXData.h>

#include <iostream>

#include "support/RecordingUserInterface.h"

int main(int argc, char** argv) {
  if (argc != 2)
    return 2;
  kx4::test::ScopedRecordingUserInterface ui;
  // A stored password is enciphered on the way in and deciphered on the way
  // out, by the cipher library in the common folder.
  kx4::ConnectionSettings stored;
  stored.SetServer("(localdb)");
  stored.SetDatabase(argv[1]);
  stored.SetUser("probe");
  stored.SetPassword("4711");
  stored.SetStorePassword(true);
  stored.Store(false);
  kx4::ConnectionSettings loaded;
  loaded.Load(false);
  std::cout << "prefill [" << loaded.PasswordToPrefill() << "]\n";
  // The file holds no tables, so reading the settings row fails, and the
  // failed statement goes to the error log beside the library.
  kx4::KXData session;
  kx4::KXErrorPtr error = session.EstablishConnection(kx4::Variant(true));
  std::cout << "connect " << (error ? error->KXErrorNumber() : 0) << "\n";
  for (const auto& call : ui->Calls())
    std::cout << "message " << call.style << "|" << call.caption << "|" << call.text << "\n";
  return 0;
}
