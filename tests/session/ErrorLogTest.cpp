#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session/Common.h"
#include "support/TempDir.h"

namespace kx4 {
namespace {

class ErrorLog : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("KX4_LOG_DIR", folder_.Path().c_str(), 1); }
  void TearDown() override { ::unsetenv("KX4_LOG_DIR"); }
  std::string Log() const { return test::ReadFile(folder_ / "error.log"); }

  test::TempDir folder_;
};

TEST_F(ErrorLog, AppendsOneQuotedRecordPerEntry) {
  test::WriteFile(folder_ / "error.log", "\"earlier\"\r\n");
  WriteErrorLog("SELECT * FROM tblUsers");
  WriteErrorLog("line one\r\nline two\n");
  EXPECT_EQ(Log(), "\"earlier\"\r\n\"SELECT * FROM tblUsers\"\r\n\"line one\r\nline two\n\"\r\n");
}

TEST_F(ErrorLog, AnEntryCutShortByAKillDoesNotSwallowTheNext) {
  // A writer killed inside a large write leaves the start of its entry.
  test::WriteFile(folder_ / "error.log", "\"whole\"\r\n\"SELECT * FROM tblUs");
  WriteErrorLog("next");
  WriteErrorLog("after");
  EXPECT_EQ(Log(), "\"whole\"\r\n\"SELECT * FROM tblUs\r\n\"next\"\r\n\"after\"\r\n");

  // Cut right after a line break inside its text: already on a new line.
  test::WriteFile(folder_ / "error.log", "\"line one\r\n");
  WriteErrorLog("next");
  EXPECT_EQ(Log(), "\"line one\r\n\"next\"\r\n");
}

std::string EntryText(int child, int entry) {
  // Multi-line, and up to several kilobytes, so that a split write would show.
  return "child " + std::to_string(child) + " entry " + std::to_string(entry) + "\r\n" +
         std::string(static_cast<size_t>((entry * 397) % 6000), static_cast<char>('a' + child)) +
         "\nend";
}

TEST_F(ErrorLog, EntriesOfConcurrentProcessesStayWhole) {
  constexpr int kChildren = 8;
  constexpr int kEntries = 1500;
  std::vector<pid_t> children;
  for (int child = 0; child < kChildren; ++child) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int entry = 0; entry < kEntries; ++entry)
        WriteErrorLog(EntryText(child, entry));
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  // The texts hold no quotation mark, so each record is "...", CR, LF.
  std::string log = Log();
  std::map<int, int> next_entry;
  size_t at = 0;
  int records = 0;
  while (at < log.size()) {
    ASSERT_EQ(log[at], '"') << "record " << records << " does not start with a quote";
    size_t close = log.find('"', at + 1);
    ASSERT_NE(close, std::string::npos);
    ASSERT_EQ(log.compare(close + 1, 2, "\r\n"), 0) << "record " << records;
    std::string text = log.substr(at + 1, close - at - 1);
    int child = -1;
    int entry = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "child %d entry %d", &child, &entry), 2) << text;
    ASSERT_EQ(text, EntryText(child, entry)) << "record " << records << " is torn";
    EXPECT_EQ(entry, next_entry[child]++) << "entries of child " << child << " out of order";
    at = close + 3;
    ++records;
  }
  EXPECT_EQ(records, kChildren * kEntries);
}

TEST_F(ErrorLog, UnwritableLogReturnsAndReportsOnce) {
  // Under a plain file, so not even root can create it.
  test::WriteFile(folder_ / "file", "");
  std::string stderr_path = folder_ / "stderr";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int err = ::open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err < 0 || ::dup2(err, STDERR_FILENO) < 0)
      ::_exit(2);
    ::setenv("KX4_LOG_DIR", (folder_ / "file/logs").c_str(), 1);
    WriteErrorLog("first failure");
    WriteErrorLog("second failure");
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the logging process crashed";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string reported = test::ReadFile(stderr_path);
  EXPECT_NE(reported.find(folder_ / "file/logs/error.log"), std::string::npos) << reported;
  EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1) << reported;
}

}  // namespace
}  // namespace kx4
