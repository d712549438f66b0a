#include "registry/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "registry/HiveFile.h"
#include "support/TempHive.h"

namespace kx4::registry {
namespace {

using kx4::testing::TempHive;

mode_t ModeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

int32_t PutText(const Key& key, std::string_view name, std::string_view text) {
  return SetValue(key, name, REG_SZ, reinterpret_cast<const uint8_t*>(text.data()),
                  static_cast<uint32_t>(text.size()));
}

class RegistryTest : public ::testing::Test {
 protected:
  TempHive hive_;
};

TEST_F(RegistryTest, MissingHiveIsEmptyAndTheFirstWriteCreatesIt) {
  Key key;
  EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "Software", KEY_QUERY_VALUE, key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "", KEY_QUERY_VALUE, key), ERROR_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(hive_.UserHive()));

  bool created = false;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Kestrix 4.0", KEY_WRITE, key, &created),
            ERROR_SUCCESS);
  EXPECT_TRUE(created);
  EXPECT_EQ(ModeOf(hive_.UserHive()), 0600u);
  EXPECT_EQ(TempHive::Read(hive_.UserHive()),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Kestrix 4.0]\n\n");
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "software\\KESTRIX 4.0\\", KEY_WRITE, key, &created),
            ERROR_SUCCESS);
  EXPECT_FALSE(created);

  ASSERT_EQ(CreateKey(HKEY_LOCAL_MACHINE, "Software", KEY_WRITE, key), ERROR_SUCCESS);
  EXPECT_EQ(ModeOf(hive_.SystemHive()), 0644u);
}

TEST_F(RegistryTest, QueryReportsTypeAndSizeAndAsksForMoreRoom) {
  Key key;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "Software\\Kestrix 4.0", KEY_ALL_ACCESS, key),
            ERROR_SUCCESS);
  ASSERT_EQ(PutText(key, "SQLServer", "SRV1"), ERROR_SUCCESS);  // the zero is added

  uint32_t type = 0, size = 0;
  EXPECT_EQ(QueryValue(key, "sqlserver", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 5u);
  uint8_t small[4];
  size = sizeof small;
  EXPECT_EQ(QueryValue(key, "SQLServer", nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  uint8_t data[8] = {};
  size = sizeof data;
  EXPECT_EQ(QueryValue(key, "SQLSERVER", nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "SRV1");
  EXPECT_EQ(QueryValue(key, "Missing", &type, data, &size), ERROR_FILE_NOT_FOUND);

  // A write in other case replaces the value and keeps the stored spelling.
  ASSERT_EQ(PutText(key, "SQLSERVER", "SRV2"), ERROR_SUCCESS);
  EXPECT_NE(TempHive::Read(hive_.UserHive()).find("\"SQLServer\"=\"SRV2\"\n"), std::string::npos);
}

TEST_F(RegistryTest, HandlesCheckRightsRootsAndPaths) {
  Key reader, writer, key;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "A", KEY_WRITE, writer), ERROR_SUCCESS);
  ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "A", KEY_QUERY_VALUE, reader), ERROR_SUCCESS);
  uint8_t byte = 1;
  EXPECT_EQ(SetValue(reader, "v", REG_BINARY, &byte, 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetValue(writer, "v", REG_BINARY, &byte, 1), ERROR_SUCCESS);
  uint32_t size = 0;
  EXPECT_EQ(QueryValue(writer, "v", nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryValue(reader, "v", nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(DeleteTree(writer, ""), ERROR_ACCESS_DENIED);

  CloseKey(reader);
  EXPECT_EQ(QueryValue(reader, "v", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenKey(0, "A", KEY_QUERY_VALUE, key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenKey(0x80000003, "A", KEY_QUERY_VALUE, key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "A\\\\B", KEY_WRITE, key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "\\A", KEY_WRITE, key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, std::string(256, 'k'), KEY_WRITE, key),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateKey(HKEY_CURRENT_USER, "Line\nbreak", KEY_WRITE, key), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetValue(writer, "bad\xFF", REG_BINARY, &byte, 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetValue(writer, "two\nlines", REG_BINARY, &byte, 1), ERROR_INVALID_PARAMETER);

  // HKEY_CLASSES_ROOT is the machine's Software\Classes, there before the key is.
  ASSERT_EQ(OpenKey(HKEY_CLASSES_ROOT, "", KEY_READ, key), ERROR_SUCCESS);
  char name[8];
  EXPECT_EQ(EnumKey(key, 0, name, sizeof name), ERROR_NO_MORE_ITEMS);
  ASSERT_EQ(CreateKey(HKEY_CLASSES_ROOT, ".kx4", KEY_WRITE, key), ERROR_SUCCESS);
  ASSERT_EQ(PutText(key, "", "Kestrix.Job"), ERROR_SUCCESS);
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\.KX4", KEY_QUERY_VALUE, key),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(key, "", nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  EXPECT_NE(TempHive::Read(hive_.SystemHive())
                .find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.kx4]\n@=\"Kestrix.Job\"\n"),
            std::string::npos);
}

TEST_F(RegistryTest, EnumerationFollowsStoredOrderAndEndsWithNoMoreItems) {
  Key key;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "K", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
  for (const char* name : {"Zeta", "alpha", "Middle name"})
    ASSERT_EQ(PutText(key, name, "x"), ERROR_SUCCESS);
  Key sub;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "K\\Sub2", KEY_WRITE, sub), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "K\\Sub1", KEY_WRITE, sub), ERROR_SUCCESS);

  KeyInfo info;
  ASSERT_EQ(QueryInfoKey(key, info), ERROR_SUCCESS);
  EXPECT_EQ(info.values, 3u);
  EXPECT_EQ(info.max_value_name_length, 11u);
  EXPECT_EQ(info.subkeys, 2u);
  EXPECT_EQ(info.max_subkey_name_length, 4u);
  EXPECT_EQ(info.max_value_data_size, 2u);

  std::vector<std::string> names;
  for (uint32_t i = 0;; ++i) {
    char buffer[12];
    uint32_t size = sizeof buffer;
    int32_t code = EnumValue(key, i, buffer, &size);
    if (code == ERROR_NO_MORE_ITEMS)
      break;
    ASSERT_EQ(code, ERROR_SUCCESS);
    names.emplace_back(buffer, size);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "alpha", "Middle name"}));
  char tight[11];  // no room for the terminator of "Middle name"
  uint32_t size = sizeof tight;
  EXPECT_EQ(EnumValue(key, 2, tight, &size), ERROR_MORE_DATA);

  char buffer[5];
  EXPECT_EQ(EnumKey(key, 0, buffer, sizeof buffer), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "Sub2");
  EXPECT_EQ(EnumKey(key, 1, buffer, 4), ERROR_MORE_DATA);
  EXPECT_EQ(EnumKey(key, 2, buffer, sizeof buffer), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, DeletingValuesAndTrees) {
  Key key, sub, root;
  ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, "A\\B\\C", KEY_ALL_ACCESS, sub), ERROR_SUCCESS);
  ASSERT_EQ(PutText(sub, "v", "1"), ERROR_SUCCESS);
  ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "a", KEY_ALL_ACCESS, key), ERROR_SUCCESS);

  EXPECT_EQ(DeleteValue(sub, "V"), ERROR_SUCCESS);
  EXPECT_EQ(DeleteValue(sub, "V"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DeleteTree(key, "b\\x"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DeleteTree(key, "B"), ERROR_SUCCESS);
  EXPECT_EQ(OpenKey(HKEY_CURRENT_USER, "A\\B", KEY_QUERY_VALUE, root), ERROR_FILE_NOT_FOUND);
  // A handle to a key deleted since it was opened.
  uint32_t size;
  EXPECT_EQ(QueryValue(sub, "v", nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(PutText(sub, "v", "again"), ERROR_KEY_DELETED);

  ASSERT_EQ(OpenKey(HKEY_CURRENT_USER, "", KEY_ALL_ACCESS, root), ERROR_SUCCESS);
  EXPECT_EQ(DeleteTree(root, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeleteTree(key, ""), ERROR_SUCCESS);
  EXPECT_EQ(TempHive::Read(hive_.UserHive()), "REGEDIT4\n\n");
}

TEST(RegistryMessages, KnownCodesEndInCrLfUnknownOnesAreEmpty) {
  for (int32_t code : {ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_MORE_DATA,
                       ERROR_NO_MORE_ITEMS, ERROR_BADDB, ERROR_KEY_DELETED}) {
    std::string text = FormatMessage(code);
    ASSERT_GT(text.size(), 2u) << code;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
  }
  EXPECT_EQ(FormatMessage(ERROR_ACCESS_DENIED), "Access is denied.\r\n");
  EXPECT_EQ(FormatMessage(31337), "");
}

TEST(RegistryEnvironment, ExpandsKnownNamesAndLeavesTheRest) {
  ::setenv("KX4_TEST_DIR", "/srv/kx", 1);
  ::setenv("KX4_TEST_EMPTY", "", 1);
  ::unsetenv("KX4_TEST_UNKNOWN");
  EXPECT_EQ(ExpandEnvironmentStrings("%KX4_TEST_DIR%/logs"), "/srv/kx/logs");
  EXPECT_EQ(ExpandEnvironmentStrings("%kx4_test_dir%"), "/srv/kx");
  EXPECT_EQ(ExpandEnvironmentStrings("a%KX4_TEST_EMPTY%b"), "ab");
  EXPECT_EQ(ExpandEnvironmentStrings("%KX4_TEST_UNKNOWN%\\x"), "%KX4_TEST_UNKNOWN%\\x");
  EXPECT_EQ(ExpandEnvironmentStrings("%KX4_TEST_UNKNOWN%KX4_TEST_DIR%"),
            "%KX4_TEST_UNKNOWN/srv/kx");
  EXPECT_EQ(ExpandEnvironmentStrings("100%% sure, 50% off"), "100%% sure, 50% off");
  EXPECT_EQ(ExpandEnvironmentStrings("%"), "%");
}

TEST(RegistryLocation, HivesFollowTheEnvironment) {
  std::optional<std::string> saved[3];
  const char* names[] = {"KX4_HIVE_DIR", "XDG_CONFIG_HOME", "HOME"};
  for (int i = 0; i < 3; ++i) {
    if (const char* v = std::getenv(names[i]))
      saved[i] = v;
  }
  ::unsetenv("KX4_HIVE_DIR");
  ::setenv("HOME", "/home/ann", 1);
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(HivePath(HKEY_CURRENT_USER), "/home/ann/.config/kestrix/user.reg");
  EXPECT_EQ(LocateHive(HiveKind::kUser).directory_mode, 0700u);
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(HivePath(HKEY_CURRENT_USER), "/home/ann/.config/kestrix/user.reg");
  ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
  EXPECT_EQ(HivePath(HKEY_CURRENT_USER), "/cfg/kestrix/user.reg");
  EXPECT_EQ(HivePath(HKEY_LOCAL_MACHINE), "/etc/kestrix/system.reg");
  EXPECT_EQ(HivePath(HKEY_CLASSES_ROOT), "/etc/kestrix/system.reg");
  ::setenv("KX4_HIVE_DIR", "/opt/kestrix/hives/", 1);
  EXPECT_EQ(HivePath(HKEY_CURRENT_USER), "/opt/kestrix/hives/user.reg");
  EXPECT_EQ(HivePath(HKEY_LOCAL_MACHINE), "/opt/kestrix/hives/system.reg");
  EXPECT_EQ(HivePath(0x80000003), "");
  for (int i = 0; i < 3; ++i) {
    if (saved[i])
      ::setenv(names[i], saved[i]->c_str(), 1);
    else
      ::unsetenv(names[i]);
  }
}

}  // namespace
}  // namespace kx4::registry
