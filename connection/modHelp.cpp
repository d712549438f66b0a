#include "connection/modHelp.h"

#include <mutex>

#include "connection/clsCommonDialog.h"
#include "session/Common.h"

namespace kx4 {
namespace {

// Written by the start-up procedure and read by the login dialog's thread;
// the lock keeps a host that loads the library on one thread and shows the
// dialog on another safe.
struct AppHelp {
  std::mutex lock;
  std::string file;
};

AppHelp& App() {
  static AppHelp app;
  return app;
}

// The library's start-up procedure, run once when it is loaded.  It lives
// here, beside the only reader of what it sets, so any program that can
// observe the application help file also links this start-up.
__attribute__((constructor)) void StartUp() {
  const std::string path = HelpFilePath(kMainHelpFile);
  std::lock_guard<std::mutex> guard(App().lock);
  App().file = path;
}

}  // namespace

std::string HelpFilePathIn(const std::string& library_folder, const std::string& name) {
  const size_t slash = library_folder.rfind('/');
  const std::string kept = slash == std::string::npos ? "" : library_folder.substr(0, slash + 1);
  return kept + "help/" + name;
}

std::string HelpFilePath(const std::string& name) {
  return HelpFilePathIn(LibraryFolder(), name);
}

std::string ApplicationHelpFile() {
  std::lock_guard<std::mutex> guard(App().lock);
  return App().file;
}

void ShowHelpTopic(int32_t topic, int32_t owner, const std::string& help_file) {
  clsCommonDialog dialog;
  dialog.SetHelpFile(help_file.empty() ? ApplicationHelpFile() : help_file);
  dialog.SetHelpCommand(HELP_CONTEXT);
  dialog.SetHelpContext(std::to_string(topic));
  dialog.ShowHelp(owner);
}

}  // namespace kx4
