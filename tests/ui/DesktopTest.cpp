// The desktop interface in real windows on the X display (Xvfb under
// scripts/test), driven with xdotool; the parts that need no display run
// everywhere.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <kx4data/KXData.h>
#include <kx4data/UserInterface.h>
#include <kx4data/frmLogin.h>

#include "connection/clsCommonDialog.h"
#include "session/KXDataInternal.h"
#include "session/clsConnectionVariables.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TempHive.h"
#include "support/TestDatabase.h"
#include "ui/WindowDriver.h"
#include "ui/fltk/CommonDialogs.h"
#include "ui/fltk/FltkUserInterface.h"
#include "ui/fltk/MessageBoxDialog.h"
#include "ui/fltk/Widgets.h"

namespace kx4 {
namespace {

using F = frmLogin;
using test::FindWindow;
using test::WindowDriver;

bool HasDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// CI must see the windows; elsewhere a missing display skips them.
#define KX4_REQUIRE_DISPLAY()                                               \
  do {                                                                      \
    if (!HasDisplay()) {                                                    \
      const char* ci = std::getenv("CI");                                   \
      if (ci && std::string(ci) == "true")                                  \
        FAIL() << "DISPLAY is not set: the window tests need the X server " \
                  "that scripts/test starts";                               \
      GTEST_SKIP() << "no display (scripts/test starts Xvfb)";              \
    }                                                                       \
  } while (false)

std::string ScreenshotFolder() {
  const std::string folder = KX4_BUILD_DIR "/screenshots";
  std::filesystem::create_directories(folder);
  return folder;
}

// The desktop interface, with the form being shown in sight of the driver.
class DriverScreen : public UserInterface {
 public:
  explicit DriverScreen(std::unique_ptr<fltk::FltkUserInterface> desktop)
      : desktop_(std::move(desktop)) {}
  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t style) override {
    return desktop_->MessageBox(text, caption, style);
  }
  int32_t MousePointer() const override { return desktop_->MousePointer(); }
  void SetMousePointer(int32_t pointer) override { desktop_->SetMousePointer(pointer); }
  bool CanShowDialogs() const override { return true; }
  void ShowLoginForm(frmLogin& form) override {
    shown = &form;
    desktop_->ShowLoginForm(form);
    shown = nullptr;
  }
  int32_t ShowFontDialog(FontDialogRequest& request) override {
    return desktop_->ShowFontDialog(request);
  }
  int32_t ShowPrintDialog(PrintDialogRequest& request) override {
    return desktop_->ShowPrintDialog(request);
  }

  const frmLogin* shown = nullptr;

 private:
  std::unique_ptr<fltk::FltkUserInterface> desktop_;
};

void ExpectCancelled(const KXErrorPtr& error) {
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erActionCancelled);
  EXPECT_EQ(error->Message(), "User cancelled the login.");
}

// --- Without a display ---

TEST(MessageBoxStyle, IconButtonsDefaultAndEscape) {
  using fltk::DescribeMessageBox;
  using fltk::MessageIcon;
  auto answers = [](const fltk::MessageBoxLayout& layout) {
    std::vector<int32_t> out;
    for (const fltk::MessageButton& button : layout.buttons)
      out.push_back(button.answer);
    return out;
  };
  fltk::MessageBoxLayout box = DescribeMessageBox(vbExclamation);
  EXPECT_EQ(box.icon, MessageIcon::kExclamation);
  EXPECT_EQ(answers(box), (std::vector<int32_t>{vbOK}));
  EXPECT_EQ(box.escape_answer, vbOK);

  box = DescribeMessageBox(vbYesNo | vbQuestion | vbDefaultButton2);
  EXPECT_EQ(box.icon, MessageIcon::kQuestion);
  EXPECT_EQ(answers(box), (std::vector<int32_t>{vbYes, vbNo}));
  EXPECT_EQ(box.default_button, 1u);
  EXPECT_EQ(box.escape_answer, 0);  // only a Cancel or a lone OK may escape

  box = DescribeMessageBox(vbAbortRetryIgnore | vbCritical | vbDefaultButton3);
  EXPECT_EQ(box.icon, MessageIcon::kStop);
  EXPECT_EQ(answers(box), (std::vector<int32_t>{vbAbort, vbRetry, vbIgnore}));
  EXPECT_EQ(box.default_button, 2u);

  box = DescribeMessageBox(vbYesNoCancel | vbInformation);
  EXPECT_EQ(box.escape_answer, vbCancel);
  box = DescribeMessageBox(vbRetryCancel | vbDefaultButton3);  // no third button
  EXPECT_EQ(box.default_button, 0u);
  box = DescribeMessageBox(7);  // no such buttons
  EXPECT_EQ(answers(box), (std::vector<int32_t>{vbOK}));
  EXPECT_EQ(box.icon, MessageIcon::kNone);
}

TEST(FileChooser, FiltersAndTheDefaultExtension) {
  EXPECT_EQ(fltk::ChooserFilter({{"Text files", "*.txt"}, {"Logs", "*.log;*.old"}}),
            "Text files\t*.txt\nLogs\t{*.log,*.old}");
  EXPECT_EQ(fltk::WithDefaultExtension("/tmp/report", "txt"), "/tmp/report.txt");
  EXPECT_EQ(fltk::WithDefaultExtension("/tmp/report.csv", "txt"), "/tmp/report.csv");
  EXPECT_EQ(fltk::WithDefaultExtension("/tmp.d/report", "txt"), "/tmp.d/report.txt");
  EXPECT_EQ(fltk::WithDefaultExtension("/tmp/report", ""), "/tmp/report");
}

// A host opts in with one call or KX4_UI=fltk; without a display it stays
// headless and says why.
TEST(DesktopOptIn, OnlyWhenAskedAndOnlyWithADisplay) {
  const std::string probe = KX4_DESKTOP_PROBE;
  test::ChildResult plain = test::RunChild({probe}, {"KX4_UI"});
  EXPECT_EQ(plain.out, "headless\n");

  test::ChildResult no_display = test::RunChild({probe}, {"KX4_UI=fltk", "DISPLAY"});
  EXPECT_EQ(no_display.out, "headless\n");
  EXPECT_NE(no_display.err.find("KX4_UI=fltk, but there is no display: DISPLAY is not set"),
            std::string::npos)
      << no_display.err;

  test::ChildResult install = test::RunChild({probe, "install"}, {"KX4_UI", "DISPLAY"});
  EXPECT_EQ(install.out, "not installed: there is no display: DISPLAY is not set\nheadless\n");

  KX4_REQUIRE_DISPLAY();
  EXPECT_EQ(test::RunChild({probe}, {"KX4_UI=fltk"}).out, "dialogs\n");
  EXPECT_EQ(test::RunChild({probe, "install"}, {"KX4_UI"}).out, "dialogs\n");
  test::ChildResult bad = test::RunChild({probe}, {"KX4_UI=fltk", "DISPLAY=:9999"});
  EXPECT_EQ(bad.out, "headless\n");
  EXPECT_EQ(bad.status, 0);  // FLTK would have ended the process
}

// --- In windows ---

// The desktop interface installed for one test, with an empty hive.
class Desktop {
 public:
  void Install() {
    const char* why = nullptr;
    auto desktop = fltk::FltkUserInterface::Create(&why);
    ASSERT_TRUE(desktop) << why;
    screen_ = std::make_shared<DriverScreen>(std::move(desktop));
    previous_ = SetUserInterface(screen_);
  }
  ~Desktop() {
    if (previous_)
      SetUserInterface(previous_);
  }
  DriverScreen* operator->() const { return screen_.get(); }

 private:
  testing::TempHive hive_;
  std::shared_ptr<DriverScreen> screen_;
  std::shared_ptr<UserInterface> previous_;
};

class DesktopWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    KX4_REQUIRE_DISPLAY();
    screen_.Install();
  }

  Desktop screen_;
};

TEST_F(DesktopWindow, FourLayoutsTitleSizeScreenshotsAndEscape) {
  KXData session;
  WindowDriver driver(screen_->shown);
  driver.WaitForWindow(F::kTitle);
  driver.Do("title and place", [] {
    Fl_Window* window = FindWindow(F::kTitle);
    EXPECT_EQ(test::ServerTitle(*window), F::kTitle);
    EXPECT_EQ(window->x(), (Fl::w() - window->w()) / 2);
    EXPECT_EQ(window->y(), (Fl::h() - window->h()) / 2);
  });
  const std::string folder = ScreenshotFolder();
  driver.WaitForLoginSize(1935);
  driver.Screenshot(F::kTitle, folder + "/login-basic-sql.png");
  driver.ClickLogin(F::cmdAdvanced);
  driver.WaitForLoginSize(3870);
  driver.Screenshot(F::kTitle, folder + "/login-advanced-sql.png");
  driver.ClickLogin(F::chkNTAuthenticate);
  driver.WaitForLoginSize(3405);
  driver.Screenshot(F::kTitle, folder + "/login-advanced-nt.png");
  driver.ClickLogin(F::cmdAdvanced);
  driver.WaitForLoginSize(1470);
  driver.Screenshot(F::kTitle, folder + "/login-basic-nt.png");
  driver.Key("Escape");
  driver.Start();

  ExpectCancelled(session.ChangeConnection());
  EXPECT_TRUE(driver.Finished()) << driver.Failure();
}

TEST_F(DesktopWindow, AWrongServerShowsCannotConnectAndTheDialogStays) {
  KXData session;
  WindowDriver driver(screen_->shown);
  driver.WaitForWindow(F::kTitle);
  driver.ClickLogin(F::txtServer);
  driver.Type("127.0.0.1,1");  // nothing listens on port 1
  driver.ClickLogin(F::txtDatabase);
  driver.Type("Tracking");
  driver.Key("Return");
  driver.WaitForWindow("Cannot Connect");
  driver.Do("the message", [] {
    Fl_Window* box = FindWindow("Cannot Connect");
    std::string text;
    for (int i = 0; i < box->children(); ++i) {
      if (auto* plain = dynamic_cast<fltk::PlainText*>(box->child(i)))
        text = plain->Text();
    }
    EXPECT_EQ(text.rfind("Could not connect to 127.0.0.1,1. Please try again.\n"
                         "Could not open connection.\n",
                         0),
              0u)
        << text;
  });
  driver.Screenshot("Cannot Connect", ScreenshotFolder() + "/cannot-connect.png");
  driver.Focus("Cannot Connect");
  driver.Key("Return");
  driver.Until("the message box is gone", [] { return !FindWindow("Cannot Connect"); });
  driver.Do("the dialog is still open", [this] {
    ASSERT_TRUE(screen_->shown);
    EXPECT_FALSE(screen_->shown->Closed());
    EXPECT_EQ(screen_->shown->Get(F::txtServer).text, "127.0.0.1,1");
  });
  driver.Focus(F::kTitle);
  driver.Key("Escape");
  driver.Start();

  ExpectCancelled(session.ChangeConnection());
  EXPECT_TRUE(driver.Finished()) << driver.Failure();
  EXPECT_EQ(KXData().DatabaseInfo(), " on ");  // nothing stored
}

TEST_F(DesktopWindow, HelpOpensTheLoginTopic) {
  test::TempDir dir;
  const std::string record = dir.Path() + "/opened";
  const std::string viewer = dir.Path() + "/viewer";
  test::WriteFile(viewer, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + ".part' && mv '" + record +
                              ".part' '" + record + "'\n");
  std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
  setenv("KX4_HELP_COMMAND", viewer.c_str(), 1);

  KXData session;
  WindowDriver driver(screen_->shown);
  driver.WaitForWindow(F::kTitle);
  driver.ClickLogin(F::cmdHelp);
  driver.Until("the viewer ran", [&] { return std::filesystem::exists(record); });
  driver.Focus(F::kTitle);
  driver.Key("Escape");
  driver.Start();
  ExpectCancelled(session.ChangeConnection());
  unsetenv("KX4_HELP_COMMAND");
  EXPECT_TRUE(driver.Finished()) << driver.Failure();
  EXPECT_EQ(test::ReadFile(record),
            std::filesystem::canonical(KX4_BUILD_DIR).string() + "/help/kx4main/topic-4.html");
}

TEST_F(DesktopWindow, MessageBoxKeepsItsTextAndAnswersWithItsButtons) {
  WindowDriver driver(screen_->shown);
  driver.WaitForWindow("Question");
  driver.Do("the text as given", [] {
    Fl_Window* box = FindWindow("Question");
    std::string text;
    for (int i = 0; i < box->children(); ++i) {
      if (auto* plain = dynamic_cast<fltk::PlainText*>(box->child(i)))
        text = plain->Text();
    }
    EXPECT_EQ(text, "Mail ann@example.org?\nSecond line & more");
  });
  driver.Focus("Question");
  driver.Key("Escape");  // no Cancel button: the box stays
  driver.Key("Tab");     // from No (the default) to Yes
  driver.Key("space");
  driver.Start();
  EXPECT_EQ(CurrentUserInterface()->MessageBox("Mail ann@example.org?\r\nSecond line & more",
                                               "Question", vbYesNo | vbQuestion | vbDefaultButton2),
            vbYes);
  EXPECT_TRUE(driver.Finished()) << driver.Failure();
}

// The font and print-setup windows are the module's own; the file dialogs
// are FLTK's native chooser, which hands the event loop to GTK where it is
// installed, so the driver cannot play the user there.
TEST_F(DesktopWindow, FontAndPrintSetupAnswerTheWrapper) {
  clsCommonDialog dialog;
  // The font dialog starts from the given font (14 points at 96 dpi is a
  // 19-pixel cell and back); Enter confirms it.
  WindowDriver font_driver(screen_->shown);
  font_driver.WaitForWindow("Font");
  font_driver.Focus("Font");
  font_driver.Key("Return");
  font_driver.Start();
  auto font = std::make_shared<StdFont>();
  font->Name = "courier";
  font->Size = 14;
  ASSERT_TRUE(dialog.ShowFont(font)) << font_driver.Failure();
  EXPECT_TRUE(font_driver.Finished()) << font_driver.Failure();
  EXPECT_EQ(font->Size, 14);
  EXPECT_FALSE(font->Name.empty());

  // Print setup: Escape cancels and leaves the values alone.
  WindowDriver print_driver(screen_->shown);
  print_driver.WaitForWindow("Print Setup");
  print_driver.Focus("Print Setup");
  print_driver.Key("Escape");
  print_driver.Start();
  dialog.SetCopies(2);
  EXPECT_FALSE(dialog.ShowPrinter());
  EXPECT_TRUE(print_driver.Finished()) << print_driver.Failure();
  EXPECT_EQ(dialog.Copies(), 2);
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
}

// --- Connecting, on both engines ---

class DesktopLogin : public test::EngineTest {
 protected:
  void SetUp() override {
    KX4_REQUIRE_DISPLAY();
    test::EngineTest::SetUp();
    if (!IsSkipped() && !HasFatalFailure())
      screen_.Install();
  }

  Desktop screen_;
};

TEST_P(DesktopLogin, TypingTheSettingsAndPressingLoginConnects) {
  KXData session;
  WindowDriver driver(screen_->shown);
  driver.WaitForWindow(F::kTitle);
  driver.ClickLogin(F::txtServer);
  driver.Type(db().Server());
  driver.ClickLogin(F::txtDatabase);
  driver.Type(db().Database());
  driver.ClickLogin(F::cmdAdvanced);
  driver.WaitForLoginSize(3870);
  driver.ClickLogin(F::chkNTAuthenticate);
  driver.WaitForLoginSize(3405);
  // Through the tab order to the connection time-out, whose text is then
  // selected; the letter is refused.
  driver.Key("Tab Tab Tab");
  driver.Type("x9");
  driver.Key("Return");
  driver.Start();

  KXErrorPtr error = session.EstablishConnection();
  EXPECT_TRUE(driver.Finished()) << driver.Failure();
  ASSERT_EQ(error, nullptr) << error->Message();
  EXPECT_EQ(session.DBVersion(), 4);
  EXPECT_EQ(KXDataInternal::ConnectionVariables(session)->ConnectTimeout(), 9);
  EXPECT_TRUE(KXDataInternal::ConnectionVariables(session)->NTAuthenticate());
  std::shared_ptr<ado::Recordset> rs;
  EXPECT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  // Stored for the next session.
  EXPECT_EQ(KXData().DatabaseInfo(), db().Database() + " on " + db().Server());
}

KX4_INSTANTIATE_ENGINES(DesktopLogin);

}  // namespace
}  // namespace kx4
