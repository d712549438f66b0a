// A host program built only on the public headers: says whether the user
// interface in use can show dialogs, after the environment and, with
// "install", an explicit opt-in had their say.
#include <cstring>
#include <iostream>
#include <string>

#include <kx4data/UserInterface.h>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "install") == 0) {
    std::string why;
    if (!kx4::InstallDesktopUserInterface(&why))
      std::cout << "not installed: " << why << "\n";
  }
  std::cout << (kx4::CurrentUserInterface()->CanShowDialogs() ? "dialogs" : "headless") << "\n";
  return 0;
}
