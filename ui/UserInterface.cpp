#include <kx4data/UserInterface.h>

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include <kx4data/frmLogin.h>

// The library's own folder is a platform fact kept with the other file
// helpers; the module lives beside the library.
#include "session/Common.h"
#include "ui/DesktopModule.h"

namespace kx4 {
namespace {

void WriteStandardError(const std::string& line) {
  // One write, so that lines from several threads or processes stay whole.
  ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
  (void)ignored;
}

// The desktop module, loaded once by absolute path and never unloaded (its
// objects may outlive any caller).  Null with `why` set when it cannot serve.
std::shared_ptr<UserInterface> LoadDesktop(std::string& why) {
  const std::string path = LibraryFolder() + "/" + kDesktopModuleFile;
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!module) {
    const char* error = ::dlerror();
    why = "cannot load " + path + ": " + (error ? error : "unknown error");
    return nullptr;
  }
  auto create = reinterpret_cast<DesktopFactory>(::dlsym(module, kDesktopFactorySymbol));
  if (!create) {
    why = path + " has no " + kDesktopFactorySymbol;
    return nullptr;
  }
  const char* reason = nullptr;
  UserInterface* ui = create(&reason);
  if (!ui) {
    why = reason ? reason : "the desktop interface cannot start";
    return nullptr;
  }
  return std::shared_ptr<UserInterface>(ui);
}

// Headless unless the environment asks for the desktop and it can start;
// a request that cannot be met says why once and stays headless.
std::shared_ptr<UserInterface> InitialUserInterface() {
  const char* wanted = std::getenv("KX4_UI");
  if (wanted && std::string(wanted) == "fltk") {
    std::string why;
    if (auto desktop = LoadDesktop(why))
      return desktop;
    WriteStandardError("kx4data: KX4_UI=fltk, but " + why + "; no dialogs will be shown\n");
  }
  return std::make_shared<HeadlessUserInterface>();
}

// The shared_ptr keeps an interface alive while a call through it is under
// way on another thread.
std::shared_ptr<UserInterface>& Installed() {
  static std::shared_ptr<UserInterface> installed = InitialUserInterface();
  return installed;
}

int32_t NoDialog(int32_t& extended_error) {
  extended_error = kCdErrDialogFailure;
  return 0;
}

}  // namespace

int32_t HeadlessUserInterface::MessageBox(const std::string& text, const std::string& caption,
                                          int32_t) {
  WriteStandardError(caption + ": " + text + "\n");
  return vbOK;
}

// The library's own dialog, through the public form a view drives.
KXErrorPtr UserInterface::ShowLoginDialog(KXData& pinsData) {
  return frmLogin::GetAuthenticConnection(pinsData);
}

void UserInterface::ShowLoginForm(frmLogin&) {}

int32_t UserInterface::ShowFileDialog(FileDialogRequest& request) {
  return NoDialog(request.extended_error);
}
int32_t UserInterface::ShowColorDialog(ColorDialogRequest& request) {
  return NoDialog(request.extended_error);
}
int32_t UserInterface::ShowFontDialog(FontDialogRequest& request) {
  return NoDialog(request.extended_error);
}
int32_t UserInterface::ShowPrintDialog(PrintDialogRequest& request) {
  return NoDialog(request.extended_error);
}

std::shared_ptr<UserInterface> CurrentUserInterface() {
  return std::atomic_load(&Installed());
}

std::shared_ptr<UserInterface> SetUserInterface(std::shared_ptr<UserInterface> ui) {
  if (!ui)
    ui = std::make_shared<HeadlessUserInterface>();
  return std::atomic_exchange(&Installed(), std::move(ui));
}

bool InstallDesktopUserInterface(std::string* why) {
  std::string reason;
  std::shared_ptr<UserInterface> desktop = LoadDesktop(reason);
  if (!desktop) {
    if (why)
      *why = reason;
    return false;
  }
  SetUserInterface(std::move(desktop));
  return true;
}

}  // namespace kx4
