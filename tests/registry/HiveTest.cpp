#include "registry/Hive.h"

#include <gtest/gtest.h>

#include <sstream>

#include "registry/Registry.h"

namespace kx4::registry {
namespace {

std::vector<uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

HiveKey& KeyAt(Hive& hive, std::initializer_list<const char*> path) {
  HiveKey* key = &hive.Root();
  for (const char* part : path)
    key = &key->AddSubkey(part);
  return *key;
}

Hive Reparse(const Hive& hive) {
  Hive copy(hive.Kind());
  ParseError error;
  EXPECT_TRUE(copy.Parse(hive.Serialize(), &error)) << error.line << ": " << error.reason;
  return copy;
}

void ExpectSameValues(const HiveKey& a, const HiveKey& b) {
  ASSERT_EQ(a.Values().size(), b.Values().size()) << a.Name();
  for (size_t i = 0; i < a.Values().size(); ++i) {
    EXPECT_EQ(a.Values()[i].name, b.Values()[i].name);
    EXPECT_EQ(a.Values()[i].type, b.Values()[i].type) << a.Values()[i].name;
    EXPECT_EQ(a.Values()[i].data, b.Values()[i].data) << a.Values()[i].name;
  }
  ASSERT_EQ(a.Subkeys().size(), b.Subkeys().size());
  for (size_t i = 0; i < a.Subkeys().size(); ++i) {
    EXPECT_EQ(a.Subkeys()[i]->Name(), b.Subkeys()[i]->Name());
    ExpectSameValues(*a.Subkeys()[i], *b.Subkeys()[i]);
  }
}

TEST(Hive, EveryValueTypeSurvivesTheTextForm) {
  Hive hive(HiveKind::kSystem);
  hive.Root().PutValue("At root", REG_SZ, Bytes(std::string("r\0", 2)));
  HiveKey& key = KeyAt(hive, {"Software", "Kestrix 4.0"});
  key.PutValue("Path", REG_SZ, Bytes(std::string("C:\\Temp \"x\"\0", 12)));
  key.PutValue("", REG_SZ, Bytes(std::string("default\0", 8)));
  key.PutValue("@", REG_SZ, Bytes(std::string("named at\0", 9)));
  key.PutValue("Tab\tand \xC3\xA9", REG_SZ, Bytes(std::string("\xD0\x96 \t\0", 5)));
  key.PutValue("Two lines", REG_SZ, Bytes(std::string("a\r\nb\0", 5)));
  key.PutValue("Unterminated", REG_SZ, Bytes("abc"));
  key.PutValue("Latin-1 bytes", REG_SZ, Bytes(std::string("\xE9\0", 2)));
  key.PutValue("Expand", REG_EXPAND_SZ, Bytes(std::string("%HOME%\\x\0", 9)));
  std::vector<uint8_t> blob(100);
  for (size_t i = 0; i < blob.size(); ++i)
    blob[i] = static_cast<uint8_t>(i * 7);
  key.PutValue("Blob", REG_BINARY, blob);
  key.PutValue("Empty blob", REG_BINARY, {});
  key.PutValue("Flags", REG_DWORD, {0x0f, 0, 0, 0x80});
  key.PutValue("Short dword", REG_DWORD, {1, 2, 3});
  key.PutValue("Big", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1});
  key.PutValue("Multi", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5)));
  key.PutValue("None", REG_NONE, {});
  key.PutValue("Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8});
  KeyAt(hive, {"Software", "Empty key"});

  std::string text = hive.Serialize();
  Hive copy = Reparse(hive);
  ExpectSameValues(hive.Root(), copy.Root());
  EXPECT_EQ(Reparse(copy).Serialize(), text);

  EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_LOCAL_MACHINE]\n\"At root\"=\"r\"\n\n", 0), 0u) << text;
  for (const char* line : {
           "\n[HKEY_LOCAL_MACHINE\\Software\\Kestrix 4.0]\n",
           "\n\"Path\"=\"C:\\\\Temp \\\"x\\\"\"\n",
           "\n@=\"default\"\n",
           "\n\"@\"=\"named at\"\n",
           "\n\"Tab\tand \xC3\xA9\"=\"\xD0\x96 \t\"\n",
           "\n\"Two lines\"=hex(1):61,0d,0a,62,00\n",
           "\n\"Unterminated\"=hex(1):61,62,63\n",
           "\n\"Expand\"=hex(2):25,48,4f,4d,45,25,5c,78,00\n",
           "\n\"Empty blob\"=hex:\n",
           "\n\"Flags\"=dword:8000000f\n",
           "\n\"Short dword\"=hex(4):01,02,03\n",
           "\n\"Big\"=hex(5):00,00,00,01\n",
           "\n\"Multi\"=hex(7):61,00,62,00,00\n",
           "\n\"None\"=hex(0):\n",
           "\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n",
           "\n[HKEY_LOCAL_MACHINE\\Software\\Empty key]\n\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
  }
  // Long hex data is wrapped as regedit wraps it.
  std::istringstream lines(text);
  std::string line;
  int continued = 0;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 80u) << line;
    if (!line.empty() && line.back() == '\\') {
      ++continued;
      EXPECT_EQ(line[line.size() - 2], ',') << line;
    }
  }
  EXPECT_GE(continued, 4);
}

TEST(Hive, ReadsHandWrittenText) {
  const std::string text =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "\r\n"
      "; written by hand\r\n"
      "[hkey_local_machine\\SOFTWARE\\Kestrix 4.0]\r\n"
      "\"SQLServer\" = \"SRV\\\\1 \\\"main\\\"\"  \r\n"
      "@=\"dflt\"\r\n"
      "\"Small\"=dword:F\r\n"
      "\"Blob\"=hex:01,AB, ff,\\\r\n"
      "    02,\\\n"
      "\t03\r\n"
      "\"Path\"=hex(2):25,54,45,4d,50,25,00\n"
      "\"Big\"=hex(5):00,00,00,01\n"
      "\"Trailing comma\"=hex:01,\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\software\\kestrix 4.0]\n"
      "\"sqlserver\"=\"SRV2\"\n"
      "[HKEY_CLASSES_ROOT\\.kx4]\n"
      "@=\"Kestrix.Job\"\n";
  Hive hive(HiveKind::kSystem);
  ParseError error;
  ASSERT_TRUE(hive.Parse(text, &error)) << error.line << ": " << error.reason;

  const HiveKey* key = hive.Find({"Software", "KESTRIX 4.0"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(hive.Root().Subkeys()[0]->Name(), "SOFTWARE");  // first spelling stays
  const HiveValue* server = key->FindValue("SQLSERVER");
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->name, "SQLServer");
  EXPECT_EQ(server->type, REG_SZ);
  EXPECT_EQ(server->data, Bytes(std::string("SRV2\0", 5)));  // the later line wins
  EXPECT_EQ(key->FindValue("")->data, Bytes(std::string("dflt\0", 5)));
  EXPECT_EQ(key->FindValue("Small")->data, (std::vector<uint8_t>{0x0f, 0, 0, 0}));
  EXPECT_EQ(key->FindValue("Blob")->data, (std::vector<uint8_t>{1, 0xab, 0xff, 2, 3}));
  EXPECT_EQ(key->FindValue("Blob")->type, REG_BINARY);
  EXPECT_EQ(key->FindValue("Path")->type, REG_EXPAND_SZ);
  EXPECT_EQ(key->FindValue("Big")->type, REG_DWORD_BIG_ENDIAN);
  EXPECT_EQ(key->FindValue("Trailing comma")->data, std::vector<uint8_t>{1});
  EXPECT_EQ(key->Values().size(), 7u);

  const HiveKey* classes = hive.Find({"Software", "Classes", ".kx4"});
  ASSERT_NE(classes, nullptr);
  EXPECT_EQ(classes->FindValue("")->data, Bytes(std::string("Kestrix.Job\0", 12)));
}

TEST(Hive, EmptyTextIsAnEmptyHive) {
  for (const char* text : {"", "\n  \n", "REGEDIT4\n", "REGEDIT4"}) {
    Hive hive(HiveKind::kUser);
    EXPECT_TRUE(hive.Parse(text, nullptr)) << text;
    EXPECT_TRUE(hive.Root().Subkeys().empty());
  }
  EXPECT_EQ(Hive(HiveKind::kUser).Serialize(), "REGEDIT4\n\n");
}

TEST(Hive, RefusesTextItCannotReadAndSaysWhere) {
  struct Case {
    std::string text;
    int line;
    std::string reason_part;
  } cases[] = {
      {"[HKEY_CURRENT_USER\\A]\n", 1, "REGEDIT4"},
      {"Windows Registry Editor Version 5.00\n", 1, "REGEDIT4"},
      {"REGEDIT4\n\n\"a\"=\"b\"\n", 3, "before the first key"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"p\"=\"C:\\Temp\"\n", 3, "backslash"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", 2, "does not belong"},
      {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n", 2, "does not belong"},  // user hive
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n", 2, "empty"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", 2, "]"},
      {"REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n", 2, "delete"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=-\n", 3, "delete"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"open\n", 3, "quote"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"a\" b\n", 3, "after the closing quote"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:1g\n", 3, "hex data"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,,02\n", 3, "hex data"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,\\\n", 3, "continued"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(zz):01\n", 3, "hex(N)"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n", 3, "dword"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=42\n", 3, "data must be"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"\"=\"x\"\n", 3, "@"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\nx=1\n", 3, "expected"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\" \"y\"\n", 3, "="},
  };
  for (const auto& c : cases) {
    Hive hive(HiveKind::kUser);
    ParseError error;
    EXPECT_FALSE(hive.Parse(c.text, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.reason.find(c.reason_part), std::string::npos)
        << c.text << " -> " << error.reason;
  }
}

TEST(Hive, NamesCompareWithoutCaseAndKeepTheirSpelling) {
  EXPECT_TRUE(NamesEqual("Software\\Kestrix", "SOFTWARE\\kestrix"));
  EXPECT_TRUE(NamesEqual("\xC3\x84rger", "\xC3\xA4RGER"));          // Ä / ä
  EXPECT_TRUE(NamesEqual("\xD0\x96\xD0\x81", "\xD0\xB6\xD1\x91"));  // ЖЁ / жё
  EXPECT_TRUE(NamesEqual("\xCE\xA3", "\xCF\x83"));                  // Σ / σ
  EXPECT_FALSE(NamesEqual("\xC3\x97", "\xC3\xB7"));                 // × is no letter
  EXPECT_FALSE(NamesEqual("a", "b"));
  EXPECT_EQ(FoldName("Bad \xFF UTF-8"), "bad \xFF utf-8");

  HiveKey key("k");
  key.PutValue("First", REG_SZ, {0});
  key.PutValue("Second", REG_SZ, {0});
  key.PutValue("FIRST", REG_DWORD, {1, 0, 0, 0});
  ASSERT_EQ(key.Values().size(), 2u);
  EXPECT_EQ(key.Values()[0].name, "First");
  EXPECT_EQ(key.Values()[0].type, REG_DWORD);
  EXPECT_TRUE(key.RemoveValue("first"));
  ASSERT_NE(key.FindValue("SECOND"), nullptr);  // the index follows the removal
  EXPECT_EQ(key.FindValue("SECOND")->name, "Second");

  bool created;
  key.AddSubkey("Sub", &created);
  EXPECT_TRUE(created);
  key.AddSubkey("SUB", &created);
  EXPECT_FALSE(created);
  key.AddSubkey("Other");
  EXPECT_TRUE(key.RemoveSubkey("sub"));
  ASSERT_NE(key.FindSubkey("OTHER"), nullptr);
  EXPECT_EQ(key.Subkeys().size(), 1u);
}

}  // namespace
}  // namespace kx4::registry
