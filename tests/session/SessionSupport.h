// What the session tests share: pointing a session at a test database, the
// private members, the error log, and user interfaces that record what the
// session asks of the screen.
#ifndef KX4DATA_TESTS_SESSION_SESSIONSUPPORT_H_
#define KX4DATA_TESTS_SESSION_SESSIONSUPPORT_H_

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <kx4data/KXData.h>
#include <kx4data/UserInterface.h>
#include <kx4data/frmLogin.h>

#include "session/KXDataInternal.h"
#include "session/clsConnectionVariables.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"
#include "support/TestDatabase.h"

namespace kx4 {

class KXDataTestPeer {
 public:
  static void Grant(KXData& session, int32_t policy) {
    KXDataInternal::AddSecurity(session, policy);
  }
  static const std::shared_ptr<ado::Connection>& Connection(const KXData& session) {
    return KXDataInternal::Connection(session);
  }
};

namespace test {

inline std::shared_ptr<clsConnectionVariables> SettingsFor(const TestDatabase& db) {
  auto settings = std::make_shared<clsConnectionVariables>();
  settings->SetServer(db.Server());
  settings->SetDatabase(db.Database());
  settings->SetNTAuthenticate(true);
  settings->SetStorePassword(false);
  settings->SetConnectTimeout(5);
  return settings;
}

// Saves the database as this user's settings, where a new session finds it.
inline void StoreSettingsFor(const TestDatabase& db) {
  SettingsFor(db)->Store(false);
}

inline std::string ErrorLogPath() {
  const char* folder = std::getenv("KX4_LOG_DIR");
  return std::string(folder != nullptr ? folder : ".") + "/error.log";
}
inline std::string ErrorLog() {
  return ReadFile(ErrorLogPath());
}
inline void ClearErrorLog() {
  std::remove(ErrorLogPath().c_str());
}

// Remembers every pointer the session sets; dialogs as the test wants them.
class ScreenRecorder : public RecordingUserInterface {
 public:
  void SetMousePointer(int32_t pointer) override {
    pointers.push_back(pointer);
    RecordingUserInterface::SetMousePointer(pointer);
  }
  bool CanShowDialogs() const override { return login_dialog || login_form; }
  KXErrorPtr ShowLoginDialog(KXData& session) override {
    if (!login_dialog)
      return RecordingUserInterface::ShowLoginDialog(session);  // the library's form
    ++dialogs_shown;
    return login_dialog(session);
  }
  void ShowLoginForm(frmLogin& form) override {
    ++dialogs_shown;
    login_form(form);
  }

  std::vector<int32_t> pointers;
  int dialogs_shown = 0;
  // A dialog of the host's own, or what the user does in the library's login
  // form.  Neither set: the interface cannot show dialogs, like the headless
  // one.
  std::function<KXErrorPtr(KXData&)> login_dialog;
  std::function<void(frmLogin&)> login_form;
};

// Installs a ScreenRecorder for the scope, its pointer starting at `pointer`.
class ScopedScreen {
 public:
  explicit ScopedScreen(int32_t pointer = 3) : screen_(std::make_shared<ScreenRecorder>()) {
    screen_->RecordingUserInterface::SetMousePointer(pointer);
    previous_ = SetUserInterface(screen_);
  }
  ~ScopedScreen() { SetUserInterface(previous_); }
  ScopedScreen(const ScopedScreen&) = delete;
  ScopedScreen& operator=(const ScopedScreen&) = delete;
  ScreenRecorder* operator->() const { return screen_.get(); }

 private:
  std::shared_ptr<ScreenRecorder> screen_;
  std::shared_ptr<UserInterface> previous_;
};

// A session on the test database, its settings saved for this user first.
class SessionTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    StoreSettingsFor(db());
    ClearErrorLog();
  }
};

}  // namespace test
}  // namespace kx4

#endif  // KX4DATA_TESTS_SESSION_SESSIONSUPPORT_H_
