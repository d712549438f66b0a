#include "registry/HiveFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "registry/Registry.h"
#include "support/TempHive.h"

namespace kx4::registry {
namespace {

using kx4::testing::TempHive;

int32_t PutText(const Key& key, std::string_view name, std::string_view text) {
  return SetValue(key, name, REG_SZ, reinterpret_cast<const uint8_t*>(text.data()),
                  static_cast<uint32_t>(text.size()));
}

std::string GetText(HKEY root, const char* path, const char* name) {
  Key key;
  if (OpenKey(root, path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
    return "<no key>";
  char data[256] = {};
  uint32_t size = sizeof data - 1;
  if (QueryValue(key, name, nullptr, reinterpret_cast<uint8_t*>(data), &size) != ERROR_SUCCESS)
    return "<no value>";
  return data;
}

std::vector<std::string> Temporaries(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string name = entry.path().filename();
    if (name.find(".tmp") != std::string::npos)
      found.push_back(name);
  }
  return found;
}

// Runs `body` in a child process and returns its exit status (-signal when
// killed).
template <typename F>
int InChild(F body) {
  pid_t pid = ::fork();
  if (pid == 0)
    ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

class HiveFileTest : public ::testing::Test {
 protected:
  TempHive hive_;
};

TEST_F(HiveFileTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWriters = 2;
  constexpr int kValuesEach = 1000;
  Key key;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Load", KEY_WRITE, key), ERROR_SUCCESS);

  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(start[1]);
      char c;
      (void)!::read(start[0], &c, 1);  // released together when the pipe closes
      for (int i = 0; i < kValuesEach; ++i) {
        std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
        if (PutText(key, name, std::to_string(i)) != ERROR_SUCCESS)
          ::_exit(1);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(start[0]);
  ::close(start[1]);
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  KeyInfo info;
  Key reader;
  ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "Software\\Load", KEY_QUERY_VALUE, reader), ERROR_SUCCESS);
  ASSERT_EQ(QueryInfoKey(reader, info), ERROR_SUCCESS);
  EXPECT_EQ(info.values, static_cast<uint32_t>(kWriters * kValuesEach));
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; i += 111) {
      std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
      EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software\\Load", name.c_str()), std::to_string(i));
    }
  }
  EXPECT_TRUE(Temporaries(hive_.Dir()).empty());
}

TEST_F(HiveFileTest, CrashBeforeTheRenameLeavesTheOldHive) {
  Key key;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software", KEY_WRITE, key), ERROR_SUCCESS);
  ASSERT_EQ(PutText(key, "v", "old"), ERROR_SUCCESS);
  std::string before = TempHive::Read(hive_.UserHive());

  int status = InChild([&] {
    testing::SetBeforeRenameHook([](const std::string&) { ::raise(SIGKILL); });
    PutText(key, "v", "new");
    return 0;
  });
  EXPECT_EQ(status, -SIGKILL);
  EXPECT_EQ(TempHive::Read(hive_.UserHive()), before);
  EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software", "v"), "old");
  ASSERT_EQ(Temporaries(hive_.Dir()).size(), 1u);  // the fsynced but never renamed file

  // The next writer holds the lock, so the leftover is garbage it may remove.
  ASSERT_EQ(PutText(key, "w", "next"), ERROR_SUCCESS);
  EXPECT_TRUE(Temporaries(hive_.Dir()).empty());
  EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software", "v"), "old");
  EXPECT_EQ(GetText(HKEY_CURRENT_USER, "Software", "w"), "next");
}

TEST_F(HiveFileTest, UnparseableHiveIsRefusedAndLeftAlone) {
  const std::string broken =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"Path\"=\"C:\\Temp\"\n\"Keep\"=\"me\"\n";
  TempHive::Write(hive_.UserHive(), broken);

  Key key;
  EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "Software", KEY_QUERY_VALUE, key), ERROR_BADDB);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Software", KEY_WRITE, key), ERROR_BADDB);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Other", KEY_WRITE, key), ERROR_BADDB);
  EXPECT_EQ(TempHive::Read(hive_.UserHive()), broken);
  EXPECT_TRUE(Temporaries(hive_.Dir()).empty());

  std::string detail;
  EXPECT_EQ(VerifyHive(HKEY_CURRENT_USER, &detail), ERROR_BADDB);
  EXPECT_EQ(detail.rfind(hive_.UserHive() + ":4: a backslash", 0), 0u) << detail;

  // The other hive is unaffected.
  EXPECT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software", KEY_WRITE, key), ERROR_SUCCESS);
  EXPECT_EQ(VerifyHive(HKEY_LOCAL_MACHINE, &detail), ERROR_SUCCESS);
  EXPECT_EQ(detail, "");
}

TEST_F(HiveFileTest, HiveThatMayNotBeWrittenGivesAccessDenied) {
  Key key;
  ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software", KEY_WRITE, key), ERROR_SUCCESS);
  ASSERT_EQ(PutText(key, "SQLServer", "SRV1"), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software", KEY_WRITE, key), ERROR_SUCCESS);
  std::string before = TempHive::Read(hive_.SystemHive());

  auto attempt = [] {
    int failures = 0;
    Key k;
    if (OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_WRITE | KEY_QUERY_VALUE, k) != ERROR_SUCCESS ||
        GetText(HKEY_LOCAL_MACHINE, "Software", "SQLServer") != "SRV1")
      failures |= 1;  // reading stays allowed
    if (PutText(k, "SQLServer", "SRV2") != ERROR_ACCESS_DENIED)
      failures |= 2;
    if (CreateKey(HKEY_LOCAL_MACHINE, "Software\\New", KEY_WRITE, k) != ERROR_ACCESS_DENIED)
      failures |= 4;
    return failures;
  };
  if (::geteuid() == 0) {
    // root writes anything; a plain user meets the 0644 machine hive.
    ::chmod(hive_.Dir().c_str(), 0755);
    int status = InChild([&] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0)
        return 100;
      Key k;
      int failures = attempt();
      if (OpenKey(HKEY_CURRENT_USER, "Software", KEY_QUERY_VALUE, k) != ERROR_ACCESS_DENIED)
        failures |= 8;  // someone else's 0600 user hive
      return failures;
    });
    EXPECT_EQ(status, 0);
  } else {
    ::chmod(hive_.SystemHive().c_str(), 0444);
    EXPECT_EQ(attempt(), 0);
  }
  EXPECT_EQ(TempHive::Read(hive_.SystemHive()), before);
}

TEST_F(HiveFileTest, RewritingKeepsTheFileMode) {
  Key key;
  ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software", KEY_WRITE, key), ERROR_SUCCESS);
  ASSERT_EQ(::chmod(hive_.SystemHive().c_str(), 0640), 0);
  ASSERT_EQ(PutText(key, "v", "1"), ERROR_SUCCESS);
  struct stat st;
  ASSERT_EQ(::stat(hive_.SystemHive().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
}  // namespace kx4::registry
