// A host program built against the installed package only: it creates an
// embedded database, connects without storing anything, and adds a user
// whose PIN code the installed cipher library enciphers.
#include <kx4data/ConnectionSettings.h>
#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/User.h>
#include <kx4data/ado/Database.h>

#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: host DATABASE-FILE\n";
    return 2;
  }
  kx4::ConnectionSettings settings;
  settings.SetServer("(localdb)");
  settings.SetDatabase(argv[1]);
  settings.SetNTAuthenticate(true);
  try {
    kx4::ado::CreateDatabase(settings.BuildConnectionString());
  } catch (const kx4::RuntimeError& failure) {
    std::cerr << failure.what() << "\n";
    return 1;
  }
  kx4::KXData session;
  kx4::KXErrorPtr error = settings.Connect(session);
  if (!error)
    error = session.GetAuthorization();
  kx4::User user;
  if (!error) {
    user.SetName("Installed");
    user.SetPinCode("2468");
    error = user.Save(session);
  }
  std::shared_ptr<kx4::User> found;
  if (!error)
    error = session.GetAuthorization("2468", found);
  if (error) {
    std::cerr << error->Message() << "\n";
    return 1;
  }
  std::cout << "authorised " << found->Name() << "\n";
  return 0;
}
