#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "session/Common.h"
#include "support/ChildProcess.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace kx4 {
namespace {

// u"4711" under "key one", as the cipher library's own tests pin it.
constexpr char kPinnedCipherText[] = "Ec3j/naYRctW1JOKHEMAxYsCnsHEEOgO";

std::string Canonical(const std::string& path) {
  return std::filesystem::canonical(path).string();
}

class CipherWrapper : public ::testing::Test {
 protected:
  test::ScopedRecordingUserInterface ui_;
};

// Linked into this test program, the library's code lives in the program, so
// its folder is the program's (build/bin) and the search still reaches the
// common folder beside it; the relocated copy below covers the shared library.
TEST_F(CipherWrapper, FindsTheCommonFolderAboveTheLibrary) {
  EXPECT_EQ(LibraryFolder(), Canonical(KX4_BUILD_DIR "/bin"));
  EXPECT_EQ(CommonFolder(), Canonical(KX4_BUILD_DIR "/common"));
  std::string other_thread;
  std::thread([&] { other_thread = CommonFolder(); }).join();
  EXPECT_EQ(other_thread, CommonFolder());
  EXPECT_TRUE(FileExists(CommonFolder() + "/libkx4utils.so"));
  EXPECT_FALSE(FileExists(CommonFolder() + "/no-such-file"));
}

TEST_F(CipherWrapper, RoundTripsUtf8Text) {
  for (const std::string text :
       {"1234", "p@ss word", "Müller àéîõü", "打印机密码", "\xF0\x9F\x96\xA8 printer"}) {
    std::string sealed = EncipherText(text, "pass phrase");
    ASSERT_FALSE(sealed.empty()) << text;
    EXPECT_EQ(sealed.find('\0'), std::string::npos);
    EXPECT_EQ(DecipherText(sealed, "pass phrase"), text);
  }
  EXPECT_TRUE(ui_->Calls().empty());
}

TEST_F(CipherWrapper, PassesUtf16UnitsAndTheKeyUnchanged) {
  EXPECT_EQ(EncipherText("4711", "key one"), kPinnedCipherText);
  EXPECT_EQ(DecipherText(kPinnedCipherText, "key one"), "4711");
}

TEST_F(CipherWrapper, FailuresGiveTheEmptyText) {
  EXPECT_EQ(DecipherText(kPinnedCipherText, "key two"), "");
  EXPECT_EQ(DecipherText("not base64!", "key one"), "");
  EXPECT_EQ(DecipherText("", "key one"), "");
  EXPECT_EQ(EncipherText("", "key one"), "");
  // Malformed UTF-8 would encipher some other secret than the one given.
  EXPECT_EQ(EncipherText("bad \xC3", "key one"), "");
  EXPECT_EQ(EncipherText("\xC0\xAF", "key one"), "");      // overlong "/"
  EXPECT_EQ(EncipherText("\xED\xA0\x80", "key one"), "");  // a lone surrogate
  EXPECT_TRUE(ui_->Calls().empty()) << "a failed call is not a missing library";
}

TEST_F(CipherWrapper, TextBeyondTheBufferIsRefused) {
  // 256 Base64 characters hold 88 UTF-16 units.
  std::string longest(88, 'x');
  EXPECT_EQ(DecipherText(EncipherText(longest, "k"), "k"), longest);
  EXPECT_EQ(EncipherText(longest + "x", "k"), "");
  std::string cjk;
  for (int i = 0; i < 88; ++i)
    cjk += "打";
  EXPECT_EQ(DecipherText(EncipherText(cjk, "k"), "k"), cjk);
  std::string emoji;  // two units each
  for (int i = 0; i < 45; ++i)
    emoji += "\xF0\x9F\x96\xA8";
  EXPECT_EQ(EncipherText(emoji, "k"), "");
}

TEST_F(CipherWrapper, LeavesTheCurrentDirectoryAlone) {
  char before[PATH_MAX];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  test::TempDir elsewhere;
  ASSERT_EQ(::chdir(elsewhere.Path().c_str()), 0);
  std::string sealed = EncipherText("4711", "key one");
  char during[PATH_MAX];
  ASSERT_NE(::getcwd(during, sizeof during), nullptr);
  ASSERT_EQ(::chdir(before), 0);
  EXPECT_EQ(sealed, kPinnedCipherText);
  EXPECT_EQ(std::string(during), elsewhere.Path());
}

TEST_F(CipherWrapper, FirstUseFromManyThreadsLoadsOnce) {
  std::vector<std::string> results(8);
  std::vector<std::thread> threads;
  for (auto& result : results)
    threads.emplace_back([&result] { result = EncipherText("4711", "key one"); });
  for (auto& thread : threads)
    thread.join();
  for (const auto& result : results)
    EXPECT_EQ(result, kPinnedCipherText);
}

// A copy of kx4data in a folder of its own, loaded by a probe that sees only
// its public API: the library must find its own folder (the error log) and
// the common folder above it (the cipher library) from where it was loaded.
class RelocatedLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(product_ / "lib");
    std::filesystem::create_directory(product_ / "hive");
    std::filesystem::copy_file(KX4DATA_FILE, product_ / "lib/" KX4DATA_SONAME);
    test::WriteFile(product_ / "empty.db", "");
  }
  test::ChildResult RunProbe() {
    return test::RunChild({KX4_CIPHER_PROBE, product_ / "empty.db"},
                          {"LD_LIBRARY_PATH=" + (product_ / "lib"),
                           "KX4_HIVE_DIR=" + (product_ / "hive"), "KX4_LOG_DIR"});
  }
  // The probe's failed statement, logged beside the library it loaded.
  void ExpectLoggedBesideTheLibrary() {
    const std::string log = test::ReadFile(product_ / "lib/error.log");
    EXPECT_EQ(log.rfind("\"Data error: 208 - Could not execute query.", 0), 0) << log;
    EXPECT_NE(log.find("FROM tblSettings\"\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("4711"), std::string::npos) << "the password is never logged";
  }
  std::string StoredPassword() {
    const std::string hive = test::ReadFile(product_ / "hive/user.reg");
    const size_t at = hive.find("\"Password\"=\"");
    return at == std::string::npos ? "<none>"
                                   : hive.substr(at + 12, hive.find('"', at + 12) - at - 12);
  }

  test::TempDir product_;
};

TEST_F(RelocatedLibrary, MissingCipherLibraryShowsTheMessageAndStoresNoPassword) {
  if (FileExists("/common/libkx4utils.so") ||
      FileExists(std::filesystem::path(product_.Path()).parent_path().string() +
                 "/common/libkx4utils.so"))
    GTEST_SKIP() << "a cipher library lies on the way up";
  test::ChildResult probe = RunProbe();
  ASSERT_EQ(probe.status, 0) << probe.err;
  // One message per hive written: this user's, then the machine's first
  // settings.
  const std::string message =
      "message 16|kx4data|Could not set path to kx4utils.dll. Please contact technical support.\n";
  EXPECT_EQ(probe.out, "prefill []\nconnect 12\n" + message + message);
  EXPECT_EQ(StoredPassword(), "");
  ExpectLoggedBesideTheLibrary();
}

TEST_F(RelocatedLibrary, CipherLibraryInTheCommonFolderAboveIsUsed) {
  std::filesystem::create_directory(product_ / "common");
  std::filesystem::copy_file(KX4_BUILD_DIR "/common/libkx4utils.so",
                             product_ / "common/libkx4utils.so");
  test::ChildResult probe = RunProbe();
  ASSERT_EQ(probe.status, 0) << probe.err;
  EXPECT_EQ(probe.out, "prefill [4711]\nconnect 12\n");
  EXPECT_EQ(StoredPassword(), EncipherText("4711", "#41mm8Rta"));
  ExpectLoggedBesideTheLibrary();
}

}  // namespace
}  // namespace kx4
