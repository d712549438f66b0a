#include "connection/clsCommonDialog.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include <kx4data/RuntimeError.h>
#include <kx4data/UserInterface.h>

#include "connection/modHelp.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace kx4 {
namespace {

// Answers the common dialogs as the test says, remembering what it was asked.
class DialogScreen : public test::RecordingUserInterface {
 public:
  int32_t ShowFileDialog(FileDialogRequest& request) override {
    file = request;
    return on_file ? on_file(request) : 0;
  }
  int32_t ShowColorDialog(ColorDialogRequest& request) override {
    color = request;
    request.color = 0x123456;
    return 1;
  }
  int32_t ShowFontDialog(FontDialogRequest& request) override {
    font = request;
    request.face_name = "DejaVu Sans";
    request.point_size_tenths = 125;
    request.charset = 2;
    return 1;
  }
  int32_t ShowPrintDialog(PrintDialogRequest& request) override {
    print = request;
    request.copies = 3;
    return print_answer;
  }

  std::function<int32_t(FileDialogRequest&)> on_file;
  FileDialogRequest file;
  ColorDialogRequest color;
  FontDialogRequest font;
  PrintDialogRequest print;
  int32_t print_answer = 1;
};

class CommonDialog : public ::testing::Test {
 protected:
  // The user picks `name` with filter `index` (the dialog answers `answer`).
  void Choose(const std::string& name, int32_t index, int32_t answer = 1) {
    screen_->on_file = [=](FileDialogRequest& request) {
      request.file_name = name;
      request.filter_index = index;
      return answer;
    };
  }

  void SetUp() override { previous_ = SetUserInterface(screen_); }
  void TearDown() override { SetUserInterface(previous_); }

  std::shared_ptr<DialogScreen> screen_ = std::make_shared<DialogScreen>();
  std::shared_ptr<UserInterface> previous_;
  clsCommonDialog dialog_;
};

TEST_F(CommonDialog, OpenBuffersFollowMaxFileSize) {
  EXPECT_FALSE(dialog_.ShowOpen());  // the screen cancels
  EXPECT_EQ(screen_->file.name_buffer, 512u);
  EXPECT_FALSE(screen_->file.save);
  dialog_.SetMaxFileSize(300);
  EXPECT_FALSE(dialog_.ShowSave());
  EXPECT_EQ(screen_->file.name_buffer, 600u);
  EXPECT_TRUE(screen_->file.save);
  EXPECT_EQ(dialog_.Action(), 2);

  // An initial name must leave two bytes of its buffer free.
  dialog_.SetFileName(std::string(598, 'n'));
  EXPECT_FALSE(dialog_.ShowOpen());
  dialog_.SetInitDir(std::string(599, 'd'));
  EXPECT_THROW(dialog_.ShowOpen(), RuntimeError);
}

TEST_F(CommonDialog, AChosenFileComesBackWithItsTitleAndFilter) {
  dialog_.SetFilter("Text files|*.txt|All files|*.*");
  dialog_.SetFilterIndex(2);
  dialog_.SetFileName("start.txt");
  dialog_.SetDefaultExt("txt");
  dialog_.SetFlags(0x1000);
  Choose(" /home/ann/notes.txt ", 1);
  ASSERT_TRUE(dialog_.ShowOpen());
  EXPECT_EQ(screen_->file.filters, (std::vector<std::pair<std::string, std::string>>{
                                       {"Text files", "*.txt"}, {"All files", "*.*"}}));
  EXPECT_EQ(screen_->file.filter_index, 2);
  EXPECT_EQ(screen_->file.file_name, "start.txt");
  EXPECT_EQ(screen_->file.default_extension, "txt");
  EXPECT_EQ(screen_->file.flags, 0x1000);
  EXPECT_EQ(dialog_.FileName(), "/home/ann/notes.txt");
  EXPECT_EQ(dialog_.FileTitle(), "notes.txt");
  EXPECT_EQ(dialog_.FilterIndex(), 1);
  EXPECT_EQ(dialog_.FilterExt(), ".txt");
  EXPECT_EQ(dialog_.APIReturn(), 1);
  EXPECT_EQ(dialog_.Action(), 1);
}

TEST_F(CommonDialog, FilterExtTakesTheLastFourCharactersOfTheChosenPattern) {
  dialog_.SetFilter("Text|*.txt|All|*.*|Logs|*.log;*.older");
  for (auto [index, ext] : std::vector<std::pair<int32_t, std::string>>{
           {1, ".txt"}, {2, "*.*"}, {3, "lder"}, {0, ""}}) {
    Choose("/tmp/x", index);
    ASSERT_TRUE(dialog_.ShowOpen());
    EXPECT_EQ(dialog_.FilterExt(), ext) << index;
  }
  // An index beyond the pairs fails the call.
  Choose("/tmp/x", 4);
  EXPECT_THROW(dialog_.ShowOpen(), RuntimeError);
}

TEST_F(CommonDialog, ACancelledOrFailedDialogChangesNothing) {
  dialog_.SetFileName("keep.txt");
  dialog_.SetFilterIndex(1);
  Choose("/chosen", 2, 0);
  EXPECT_FALSE(dialog_.ShowOpen());
  EXPECT_EQ(dialog_.FileName(), "keep.txt");
  EXPECT_EQ(dialog_.APIReturn(), 0);
  EXPECT_EQ(dialog_.ExtendedError(), 0);

  // A name longer than the buffer is the dialog's failure, never a cut name.
  screen_->on_file = [](FileDialogRequest& request) {
    request.file_name = "/" + std::string(request.name_buffer, 'x');
    return 1;
  };
  EXPECT_FALSE(dialog_.ShowSave());
  EXPECT_EQ(dialog_.FileName(), "keep.txt");
  EXPECT_EQ(dialog_.ExtendedError(), kFnErrBufferTooSmall);

  // Headless: nothing shows, and the extended error says so.
  SetUserInterface(nullptr);
  EXPECT_FALSE(dialog_.ShowColor());
  EXPECT_EQ(dialog_.ExtendedError(), kCdErrDialogFailure);
  EXPECT_FALSE(dialog_.ShowPrinter());
  EXPECT_EQ(dialog_.Action(), 5);
}

TEST_F(CommonDialog, ColorStartsFromColorWithWhiteCustomColours) {
  dialog_.SetColor(0xFF);
  ASSERT_TRUE(dialog_.ShowColor());
  EXPECT_EQ(screen_->color.color, 0xFF);
  for (int32_t custom : screen_->color.custom_colors)
    EXPECT_EQ(custom, 0xFFFFFF);
  EXPECT_EQ(dialog_.Color(), 0x123456);
}

TEST_F(CommonDialog, FontFromNothingAndFromAFont) {
  std::shared_ptr<StdFont> font;
  dialog_.SetFlags(0x1);
  ASSERT_TRUE(dialog_.ShowFont(font));
  EXPECT_EQ(screen_->font.flags, 0x1);
  EXPECT_EQ(screen_->font.face_name, "");
  ASSERT_TRUE(font);
  EXPECT_EQ(font->Name, "DejaVu Sans");
  EXPECT_EQ(font->Size, 12);  // whole points
  EXPECT_EQ(font->Charset, 2);

  font->Name = std::string(40, 'F');
  font->Size = 10;
  font->Charset = 1;
  ASSERT_TRUE(dialog_.ShowFont(font));
  EXPECT_EQ(screen_->font.flags, 0x41);
  EXPECT_EQ(screen_->font.face_name, std::string(31, 'F'));
  EXPECT_EQ(screen_->font.charset, 1);
  EXPECT_EQ(screen_->font.height, 13);  // 10 points at 96 dpi
}

TEST_F(CommonDialog, PrinterValuesTravelAsSixteenBits) {
  dialog_.SetFromPage(2);
  dialog_.SetToPage(5);
  dialog_.SetMin(1);
  dialog_.SetMax(9);
  dialog_.SetCopies(1);
  ASSERT_TRUE(dialog_.ShowPrinter());
  EXPECT_EQ(screen_->print.from_page, 2);
  EXPECT_EQ(screen_->print.max_page, 9);
  EXPECT_EQ(dialog_.Copies(), 3);
  EXPECT_EQ(dialog_.ToPage(), 5);

  screen_->print_answer = 0;
  dialog_.SetCopies(7);
  EXPECT_FALSE(dialog_.ShowPrinter());
  EXPECT_EQ(dialog_.Copies(), 7);

  dialog_.SetMax(40000);
  EXPECT_THROW(dialog_.ShowPrinter(), RuntimeError);
}

// --- Help ---

class Help : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = dir_.Path() + "/opened";
    const std::string script = dir_.Path() + "/viewer";
    test::WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record_ + ".part'\nmv '" +
                                record_ + ".part' '" + record_ + "'\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    setenv("KX4_HELP_COMMAND", (script + " --new-window").c_str(), 1);
  }
  void TearDown() override { unsetenv("KX4_HELP_COMMAND"); }

  // What the viewer was started with; it runs in the background.
  std::string Opened() {
    for (int i = 0; i < 500 && !std::filesystem::exists(record_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::string text = test::ReadFile(record_);
    std::filesystem::remove(record_);
    return text;
  }

  test::TempDir dir_;
  std::string record_;
};

TEST_F(Help, HelpFilePathIsTheHelpFolderBesideTheLibrarysFolder) {
  EXPECT_EQ(HelpFilePathIn("/opt/kestrix/lib", "kx4main.hlp"), "/opt/kestrix/help/kx4main.hlp");
  EXPECT_EQ(HelpFilePathIn("/common", "kx4main.hlp"), "/help/kx4main.hlp");
  EXPECT_EQ(HelpFilePathIn("common", "x.hlp"), "help/x.hlp");
  // The start-up procedure set the application help file, and the build
  // put the login topic's page where the help launcher looks.
  const std::string expected =
      std::filesystem::canonical(KX4_BUILD_DIR).string() + "/help/kx4main.hlp";
  EXPECT_EQ(HelpFilePath("kx4main.hlp"), expected);
  EXPECT_EQ(ApplicationHelpFile(), expected);
  EXPECT_TRUE(std::filesystem::exists(KX4_BUILD_DIR "/help/kx4main/topic-4.html"));
}

TEST_F(Help, ShowHelpTopicOpensTheTopicsPage) {
  ShowHelpTopic(4, 0, "");
  EXPECT_EQ(Opened(), "--new-window\n" + std::filesystem::canonical(KX4_BUILD_DIR).string() +
                          "/help/kx4main/topic-4.html\n");
  // An explicit help file wins over the application's; the page travels
  // as one argument, spaces and quotes and all.
  ShowHelpTopic(12, 0, "/srv/it's here/other.hlp");
  EXPECT_EQ(Opened(), "--new-window\n/srv/it's here/other/topic-12.html\n");
}

TEST_F(Help, ShowHelpCommands) {
  clsCommonDialog dialog;
  dialog.SetHelpFile("/h/kx4main.hlp");
  dialog.SetHelpCommand(HELP_KEY);
  dialog.SetHelpKey("login");
  dialog.ShowHelp(0);
  EXPECT_EQ(dialog.Action(), 6);
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(Opened(), "--new-window\n/h/kx4main/index.html\n");

  dialog.SetHelpCommand(HELP_CONTEXT);
  dialog.SetHelpContext("four");
  EXPECT_THROW(dialog.ShowHelp(0), RuntimeError);
}

}  // namespace
}  // namespace kx4
