// Switches a locale category to German (decimal comma, "Dez") without
// installing anything: an installed de_DE.UTF-8, else one compiled from the
// system's locale sources into a test's temporary folder.
#ifndef KX4DATA_TESTS_SUPPORT_GERMANLOCALE_H_
#define KX4DATA_TESTS_SUPPORT_GERMANLOCALE_H_

#include <clocale>
#include <cstdlib>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace kx4::test {

// False when no German locale exists and none could be built.
inline bool UseGermanLocale(const TempDir& folder, int category = LC_ALL) {
  if (std::setlocale(category, "de_DE.UTF-8"))
    return true;
  ChildResult built =
      RunChild({"/usr/bin/localedef", "-c", "-i", "de_DE", "-f", "UTF-8", folder / "de_DE.UTF-8"});
  if (built.status != 0)
    return false;
  ::setenv("LOCPATH", folder.Path().c_str(), 1);
  return std::setlocale(category, "de_DE.UTF-8") != nullptr;
}

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_SUPPORT_GERMANLOCALE_H_
