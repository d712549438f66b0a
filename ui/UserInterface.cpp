#include <kx4data/UserInterface.h>

#include <unistd.h>

#include <atomic>
#include <string>

namespace kx4 {
namespace {

// Installed once by the host, read by every message box.  The shared_ptr keeps
// an interface alive while a call through it is under way on another thread.
std::shared_ptr<UserInterface>& Installed() {
  static std::shared_ptr<UserInterface> installed = std::make_shared<HeadlessUserInterface>();
  return installed;
}

}  // namespace

int32_t HeadlessUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                          int32_t) {
  std::string line = caption + ": " + text + "\n";
  // One write, so that lines from several threads or processes stay whole.
  ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
  return vbOK;
}

KXErrorPtr UserInterface::ShowLoginDialog(KXData&) {
  return MakeError(kNoDialogMessage, KXError::kIconExclamation, erActionCancelled);
}

std::shared_ptr<UserInterface> CurrentUserInterface() {
  return std::atomic_load(&Installed());
}

std::shared_ptr<UserInterface> SetUserInterface(std::shared_ptr<UserInterface> ui) {
  if (!ui)
    ui = std::make_shared<HeadlessUserInterface>();
  return std::atomic_exchange(&Installed(), std::move(ui));
}

}  // namespace kx4
