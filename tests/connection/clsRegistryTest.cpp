#include "connection/clsRegistry.h"

#include <gtest/gtest.h>

#include <kx4data/RuntimeError.h>

#include "support/TempHive.h"

namespace kx4 {
namespace {

using kx4::testing::TempHive;
using namespace registry;

const char kSection[] = "Software\\Kestrix 4.0";

class clsRegistryTest : public ::testing::Test {
 protected:
  clsRegistry Registry(HKEY root = HKEY_CURRENT_USER, int32_t type = REG_SZ) {
    clsRegistry reg;
    reg.SetClassKey(root);
    reg.SetSectionKey(kSection);
    reg.SetValueType(type);
    return reg;
  }

  // Type of a stored value as the registry reports it, 0 when missing.
  uint32_t StoredType(const char* name) {
    Key key;
    uint32_t type = 0, size = 0;
    if (OpenKey(HKEY_CURRENT_USER, kSection, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        QueryValue(key, name, &type, nullptr, &size) != ERROR_SUCCESS)
      return 0;
    return type;
  }

  void WriteUserHive(const std::string& values) {
    TempHive::Write(hive_.UserHive(),
                    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrix 4.0]\n" + values);
  }

  TempHive hive_;
};

TEST_F(clsRegistryTest, MissingValueAndMissingKeyBothGiveTheDefaultButOnlyOneSaysWhy) {
  clsRegistry reg = Registry();
  std::string error = "untouched";
  EXPECT_EQ(reg.GetValueOrDefault("SQLServer", "dflt", &error), Variant("dflt"));
  EXPECT_EQ(error, "Error retrieving value: The registry key or value does not exist.\r\n");
  EXPECT_EQ(reg.ValueKey(), "SQLServer");

  ASSERT_TRUE(reg.CreateKey());
  error = "untouched";
  EXPECT_EQ(reg.GetValueOrDefault("SQLServer", "dflt", &error), Variant("dflt"));
  EXPECT_EQ(error, "untouched");

  // The Default property answers for a missing value only.
  reg.SetDefault(Variant(int32_t{7}));
  EXPECT_EQ(reg.GetValue(), Variant(int32_t{7}));
  reg.SetSectionKey("Software\\Nowhere");
  EXPECT_TRUE(reg.GetValue().IsNull());
}

TEST_F(clsRegistryTest, TextWithAnEnvironmentReferenceIsStoredExpandable) {
  ::setenv("KX4_TEST_ROOT", "/srv/kx", 1);
  ::unsetenv("KX4_TEST_UNSET");
  clsRegistry reg = Registry();
  struct Case {
    const char* text;
    uint32_t type;
    const char* read_back;
  } cases[] = {
      {"%KX4_TEST_ROOT%\\x", REG_EXPAND_SZ, "/srv/kx\\x"},
      {"%KX4_TEST_UNSET%\\x", REG_EXPAND_SZ, "%KX4_TEST_UNSET%\\x"},
      {"%a%", REG_EXPAND_SZ, "%a%"},
      {"50% off", REG_SZ, "50% off"},
      {"100%%", REG_SZ, "100%%"},
      {"a%%", REG_SZ, "a%%"},
      {"%%x", REG_SZ, "%%x"},
  };
  for (const auto& c : cases) {
    std::string error = "x";
    ASSERT_TRUE(reg.SetCreateValue("V", c.text, &error)) << c.text;
    EXPECT_EQ(error, "");
    EXPECT_EQ(StoredType("V"), c.type) << c.text;
    EXPECT_EQ(reg.GetValue(), Variant(c.read_back)) << c.text;
    EXPECT_EQ(reg.ValueType(), static_cast<int32_t>(c.type));
  }
  // An expandable text is not trimmed; plain text is.
  ASSERT_TRUE(reg.SetCreateValue("V", " %KX4_TEST_ROOT% "));
  EXPECT_EQ(reg.GetValue(), Variant(" /srv/kx "));
  ASSERT_TRUE(reg.SetCreateValue("V", "  SRV1 "));
  EXPECT_EQ(reg.GetValue(), Variant("SRV1"));
}

TEST_F(clsRegistryTest, ValuesBecomeTheirTextForm) {
  clsRegistry reg = Registry();
  ASSERT_TRUE(reg.SetCreateValue("T", true));
  EXPECT_EQ(reg.GetValue(), Variant("True"));
  ASSERT_TRUE(reg.SetCreateValue("F", false));
  EXPECT_EQ(reg.GetValue(), Variant("False"));
  ASSERT_TRUE(reg.SetCreateValue("I", int16_t{15}));
  EXPECT_EQ(reg.GetValue(), Variant("15"));
  ASSERT_TRUE(reg.SetCreateValue("L", int32_t{-70000}));
  EXPECT_EQ(reg.GetValue(), Variant("-70000"));
  EXPECT_EQ(StoredType("I"), REG_SZ);
  EXPECT_NE(
      TempHive::Read(hive_.UserHive()).find("\"T\"=\"True\"\n\"F\"=\"False\"\n\"I\"=\"15\"\n"),
      std::string::npos);

  // Null has no text: a failed call, and nothing is written.
  EXPECT_THROW(reg.SetCreateValue("N", Variant::Null()), RuntimeError);
  EXPECT_EQ(StoredType("N"), 0u);
}

TEST_F(clsRegistryTest, DwordsAndTheirByteOrder) {
  clsRegistry reg = Registry(HKEY_CURRENT_USER, REG_DWORD_BIG_ENDIAN);
  std::string error;
  ASSERT_TRUE(reg.SetCreateValue("One", int32_t{1}, &error)) << error;
  EXPECT_EQ(StoredType("One"), REG_DWORD);
  EXPECT_NE(TempHive::Read(hive_.UserHive()).find("\"One\"=dword:00000001"), std::string::npos);
  reg.SetValueType(REG_DWORD);
  ASSERT_TRUE(reg.SetCreateValue("Minus", int16_t{-1}));
  EXPECT_NE(TempHive::Read(hive_.UserHive()).find("\"Minus\"=dword:ffffffff"), std::string::npos);

  for (const Variant& wrong : {Variant(true), Variant(1.0), Variant("1"), Variant(uint8_t{1})}) {
    error.clear();
    EXPECT_FALSE(reg.SetCreateValue("Wrong", wrong, &error));
    EXPECT_EQ(error, "Could not set value. Invalid value for set type.");
  }
  EXPECT_EQ(StoredType("Wrong"), 0u);

  WriteUserHive(
      "\"Little\"=dword:01020304\n\"Big\"=hex(5):00,00,00,01\n\"BigNeg\"=hex(5):ff,ff,ff,fe\n");
  reg.SetValueType(REG_SZ);
  EXPECT_EQ(reg.GetValueOrDefault("Little", Variant()), Variant(int32_t{0x01020304}));
  EXPECT_EQ(reg.ValueType(), static_cast<int32_t>(REG_DWORD));
  EXPECT_EQ(reg.GetValueOrDefault("Big", Variant()), Variant(int32_t{1}));
  EXPECT_EQ(reg.ValueType(), static_cast<int32_t>(REG_DWORD_BIG_ENDIAN));
  EXPECT_EQ(reg.GetValueOrDefault("BigNeg", Variant()), Variant(int32_t{-2}));
}

TEST_F(clsRegistryTest, TextsRunTogetherAndLoseTheirBlanks) {
  WriteUserHive(
      "\"Multi\"=hex(7):61,62,00,63,64,00,00\n"
      "\"Padded\"=\"  SRV1 \"\n"
      "\"Empty\"=\"\"\n"
      "\"Inner zero\"=hex(1):61,00,62,00\n");
  clsRegistry reg = Registry();
  EXPECT_EQ(reg.GetValueOrDefault("Multi", Variant()), Variant("abcd"));
  EXPECT_EQ(reg.ValueType(), static_cast<int32_t>(REG_MULTI_SZ));
  EXPECT_EQ(reg.GetValueOrDefault("Padded", Variant()), Variant("SRV1"));
  EXPECT_EQ(reg.GetValueOrDefault("Empty", Variant("dflt")), Variant(""));
  EXPECT_EQ(reg.GetValueOrDefault("Inner zero", Variant()), Variant("ab"));
}

TEST_F(clsRegistryTest, BinaryValuesAreZeroBasedByteArrays) {
  clsRegistry reg = Registry(HKEY_CURRENT_USER, REG_BINARY);
  VariantArray bytes({Variant(uint8_t{0}), Variant(uint8_t{0x7f}), Variant(uint8_t{0xff})}, 0);
  ASSERT_TRUE(reg.SetCreateValue("Blob", Variant(bytes)));
  Variant read = reg.GetValue();
  ASSERT_TRUE(read.IsArray());
  EXPECT_EQ(read.Array(), bytes);
  EXPECT_EQ(read.Array().LBound(), 0);

  std::string error;
  EXPECT_FALSE(reg.SetCreateValue("Text", "abc", &error));
  EXPECT_EQ(error, "Could not set value. Invalid value for set type.");
  EXPECT_FALSE(reg.SetCreateValue("Mixed", Variant(VariantArray({Variant(uint8_t{1}), Variant(2)})),
                                  &error));
  EXPECT_EQ(error, "Could not set value. Invalid value for set type.");
  // Data are taken from index 0, so an array that starts elsewhere is refused
  // before anything is written.
  EXPECT_THROW(reg.SetCreateValue("Shifted", Variant(VariantArray({Variant(uint8_t{1})}, -1))),
               RuntimeError);
  EXPECT_THROW(reg.SetCreateValue("Shifted", Variant(VariantArray({Variant(uint8_t{1})}, 1))),
               RuntimeError);
  EXPECT_EQ(StoredType("Shifted"), 0u);

  WriteUserHive("\"None\"=hex(0):\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n");
  Variant none = reg.GetValueOrDefault("None", Variant());
  ASSERT_TRUE(none.IsArray());
  EXPECT_EQ(none.Array().Size(), 0u);
  Variant qword = reg.GetValueOrDefault("Qword", Variant());
  ASSERT_TRUE(qword.IsArray());
  EXPECT_EQ(qword.Array()[7], Variant(uint8_t{8}));
  EXPECT_EQ(reg.ValueType(), 11);
}

TEST_F(clsRegistryTest, UnknownValueTypeWritesNothing) {
  clsRegistry reg = Registry(HKEY_CURRENT_USER, 0);
  ASSERT_TRUE(reg.CreateKey());
  std::string before = TempHive::Read(hive_.UserHive());
  for (int32_t type : {0, 6, 7, 11}) {
    reg.SetValueType(type);
    std::string error;
    EXPECT_FALSE(reg.SetCreateValue("V", "x", &error));
    EXPECT_EQ(error, "Could not set value. Unknown value type.");
  }
  EXPECT_EQ(TempHive::Read(hive_.UserHive()), before);
}

TEST_F(clsRegistryTest, SetCreateValueCreatesTheKeyAndReportsRegistryFailures) {
  clsRegistry reg = Registry();
  reg.SetSectionKey("Software\\Kestrix 4.0\\Deep\\Er");
  std::string error = "x";
  ASSERT_TRUE(reg.SetCreateValue("V", "1", &error));
  EXPECT_EQ(error, "");
  EXPECT_TRUE(reg.KeyExists());

  // SetValue alone does not create the key.
  reg.SetSectionKey("Software\\Other");
  EXPECT_FALSE(reg.SetValue("1", &error));
  EXPECT_EQ(error, "Unable to set value: The registry key or value does not exist.\r\n");
  EXPECT_FALSE(reg.KeyExists(&error));
  EXPECT_EQ(error, "The registry key or value does not exist.\r\n");

  TempHive::Write(hive_.UserHive(), "not a hive\n");
  EXPECT_FALSE(reg.SetCreateValue("V", "1", &error));
  EXPECT_EQ(error,
            "Unable to create key: The registry hive file cannot be parsed; it is left "
            "unchanged.\r\n");
  EXPECT_EQ(TempHive::Read(hive_.UserHive()), "not a hive\n");

  reg.SetClassKey(0);
  EXPECT_FALSE(reg.CreateKey(&error));
  EXPECT_EQ(error, "Unable to create key: The registry key handle is invalid.\r\n");
}

TEST_F(clsRegistryTest, Enumerations) {
  clsRegistry reg = Registry();
  std::vector<std::string> names = {"stale"};
  int32_t count = -1;
  std::string error = "untouched";
  EXPECT_FALSE(reg.EnumerateValues(names, count, &error));
  EXPECT_EQ(error, "Unable to enumerate values: The registry key or value does not exist.\r\n");
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(count, 0);

  ASSERT_TRUE(reg.CreateKey());
  error = "untouched";
  names = {"stale"};
  EXPECT_TRUE(reg.EnumerateValues(names, count, &error));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(error, "untouched");

  for (const char* name : {"SQLServer", "SQLDatabase", "A rather longer value name", ""})
    ASSERT_TRUE(reg.SetCreateValue(name, "x"));
  EXPECT_TRUE(reg.EnumerateValues(names, count));
  EXPECT_EQ(count, 4);
  EXPECT_EQ(names, (std::vector<std::string>{"SQLServer", "SQLDatabase",
                                             "A rather longer value name", ""}));

  clsRegistry parent = Registry();
  parent.SetSectionKey("Software");
  clsRegistry sub = Registry();
  sub.SetSectionKey("Software\\" + std::string(254, 's'));
  ASSERT_TRUE(sub.CreateKey());
  EXPECT_TRUE(parent.EnumerateSections(names, count, &error));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(names, (std::vector<std::string>{"Kestrix 4.0", std::string(254, 's')}));
  // 255 characters do not fit the 255-character buffer with its terminator.
  sub.SetSectionKey("Software\\" + std::string(255, 'l'));
  ASSERT_TRUE(sub.CreateKey());
  EXPECT_FALSE(parent.EnumerateSections(names, count, &error));
  EXPECT_EQ(error, "Unable to enumerate sections: More data is available.\r\n");
  EXPECT_EQ(count, 2);
}

TEST_F(clsRegistryTest, DeletingKeysAndValues) {
  clsRegistry reg = Registry();
  reg.SetSectionKey("Software\\Kestrix 4.0\\Sub");
  ASSERT_TRUE(reg.SetCreateValue("V", "1"));
  reg.SetSectionKey(kSection);
  ASSERT_TRUE(reg.SetCreateValue("W", "2"));

  std::string error;
  reg.SetValueKey("W");
  EXPECT_TRUE(reg.DeleteValue(&error));
  EXPECT_FALSE(reg.DeleteValue(&error));
  EXPECT_EQ(error, "The registry key or value does not exist.\r\n");

  EXPECT_TRUE(reg.DeleteKey(&error));
  EXPECT_FALSE(reg.KeyExists());
  EXPECT_FALSE(reg.DeleteKey(&error));
  EXPECT_EQ(error, "Unable to delete key: The registry key or value does not exist.\r\n");

  reg.SetSectionKey("");
  EXPECT_FALSE(reg.DeleteKey(&error));
  EXPECT_EQ(error, "Unable to delete key: Access is denied.\r\n");
  EXPECT_FALSE(Registry().KeyExists());
  reg.SetSectionKey("Software");
  EXPECT_TRUE(reg.KeyExists());
}

TEST(RegistryMessage, SystemTextOrUnknownCode) {
  EXPECT_EQ(RegistryMessage(ERROR_MORE_DATA), "More data is available.\r\n");
  EXPECT_EQ(RegistryMessage(99999), "Unknown error code 99999");
}

}  // namespace
}  // namespace kx4
