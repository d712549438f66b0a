#include "session/clsConnectionVariables.h"

#include <gtest/gtest.h>

#include "connection/clsRegistry.h"
#include "dataaccess/Engine.h"
#include "session/Common.h"
#include "support/TempHive.h"

namespace kx4 {
namespace {

using kx4::testing::TempHive;
using namespace registry;

clsConnectionVariables Tracking() {
  clsConnectionVariables v;
  v.SetServer("SRV1");
  v.SetDatabase("Tracking");
  return v;
}

TEST(clsConnectionVariables, ConnectionStrings) {
  clsConnectionVariables v = Tracking();
  v.SetNTAuthenticate(true);
  v.SetUser("ignored");
  EXPECT_EQ(v.BuildConnectionString(),
            "Provider=SQLOLEDB;Data Source=SRV1;Database=Tracking;Trusted_Connection=Yes;");

  v.SetNTAuthenticate(false);
  v.SetUser("sa");
  EXPECT_EQ(v.BuildConnectionString(),
            "Provider=SQLOLEDB;Data Source=SRV1;Database=Tracking;User ID=sa;Password=");

  v.SetNetProvider("DBMSSOCN");
  v.SetPassword("s3cret");
  EXPECT_EQ(v.BuildConnectionString(),
            "Provider=SQLOLEDB;Data Source=SRV1;Database=Tracking;Network Library=DBMSSOCN;"
            "User ID=sa;Password=s3cret");

  v.SetDatabase("  ");
  EXPECT_EQ(v.BuildConnectionString(), "");
  v = Tracking();
  v.SetServer("");
  EXPECT_EQ(v.BuildConnectionString(), "");
}

TEST(clsConnectionVariables, AValueHoldingASemicolonCannotAddSettings) {
  clsConnectionVariables v = Tracking();
  v.SetUser("sa");
  v.SetPassword("x;Data Source=elsewhere;Trusted_Connection=Yes");
  EXPECT_EQ(v.BuildConnectionString(),
            "Provider=SQLOLEDB;Data Source=SRV1;Database=Tracking;User ID=sa;"
            "Password=\"x;Data Source=elsewhere;Trusted_Connection=Yes\"");
  for (const char* password : {"x;Data Source=elsewhere", "\"x\"\";y\"", "'x", "\"", ";"}) {
    v.SetPassword(password);
    const ado::ConnectionOptions back = ado::ConnectionOptions::Parse(v.BuildConnectionString());
    EXPECT_EQ(back.data_source, "SRV1") << password;
    EXPECT_EQ(back.password, password);
    EXPECT_FALSE(back.trusted);
  }
  v.SetServer("db;1");
  v.SetDatabase("Track;ing");
  const ado::ConnectionOptions back = ado::ConnectionOptions::Parse(v.BuildConnectionString());
  EXPECT_EQ(back.data_source, "db;1");
  EXPECT_EQ(back.database, "Track;ing");
  EXPECT_EQ(back.user_id, "sa");
}

TEST(clsConnectionVariables, AssignmentRules) {
  clsConnectionVariables v;
  EXPECT_EQ(v.ConnectTimeout(), 1);
  EXPECT_EQ(v.QueryTimeout(), 60);
  EXPECT_FALSE(v.StorePassword());
  EXPECT_FALSE(v.NTAuthenticate());

  v.SetServer("  SRV1  ");
  v.SetDatabase(" Tracking ");
  v.SetUser(" sa ");
  v.SetPassword(" pw ");
  v.SetNetProvider(" DBMSSOCN ");
  v.SetOwner("dbo");
  EXPECT_EQ(v.Server(), "SRV1");
  EXPECT_EQ(v.Database(), "Tracking");
  EXPECT_EQ(v.User(), "sa");
  EXPECT_EQ(v.Password(), "pw");
  EXPECT_EQ(v.NetProvider(), " DBMSSOCN ");
  EXPECT_EQ(v.Owner(), "");
}

class Stored : public ::testing::Test {
 protected:
  clsRegistry Registry(HKEY root) {
    clsRegistry reg;
    reg.SetClassKey(root);
    reg.SetSectionKey(clsConnectionVariables::kRegistryKey);
    reg.SetValueType(REG_SZ);
    return reg;
  }
  std::string Text(HKEY root, const char* name) {
    return Registry(root).GetValueOrDefault(name, "<missing>").ToString();
  }
  void Put(HKEY root, const char* name, const Variant& value) {
    ASSERT_TRUE(Registry(root).SetCreateValue(name, value));
  }
  std::vector<std::string> Names(HKEY root) {
    std::vector<std::string> names;
    int32_t count;
    Registry(root).EnumerateValues(names, count);
    return names;
  }

  TempHive hive_;
};

TEST_F(Stored, LoadWithNothingStoredGivesTheDefaults) {
  clsConnectionVariables v;
  v.SetServer("before");
  v.SetStorePassword(false);
  v.Load(false);
  EXPECT_EQ(v.Server(), "");
  EXPECT_EQ(v.Database(), "");
  EXPECT_EQ(v.User(), "");
  EXPECT_EQ(v.Password(), "");
  EXPECT_EQ(v.NetProvider(), "");
  EXPECT_TRUE(v.StorePassword());
  EXPECT_FALSE(v.NTAuthenticate());
  EXPECT_EQ(v.ConnectTimeout(), 1);
  EXPECT_EQ(v.QueryTimeout(), 60);
  EXPECT_FALSE(std::filesystem::exists(hive_.UserHive()));  // loading writes nothing
}

TEST_F(Stored, StoreWritesNineTextsInOrderAndLoadReadsThemBack) {
  clsConnectionVariables v = Tracking();
  v.SetUser("sa");
  v.SetPassword("p@ss w\xC3\xB6rd");
  v.SetStorePassword(true);
  v.SetNTAuthenticate(true);
  v.SetNetProvider("DBMSSOCN");
  v.SetConnectTimeout(15);
  v.SetQueryTimeout(0);
  v.Store(false);

  EXPECT_EQ(Names(HKEY_CURRENT_USER),
            (std::vector<std::string>{"SQLServer", "SQLDatabase", "User", "Password",
                                      "Store Password", "NTAuthenticate", "NetProvider",
                                      "ConnectTimeout", "QueryTimeout"}));
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "Store Password"), "True");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "NTAuthenticate"), "True");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "ConnectTimeout"), "15");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "QueryTimeout"), "0");
  std::string sealed = Text(HKEY_CURRENT_USER, "Password");
  EXPECT_FALSE(sealed.empty());
  EXPECT_EQ(sealed.find("p@ss"), std::string::npos);
  EXPECT_EQ(DecipherText(sealed, "#41mm8Rta"), "p@ss w\xC3\xB6rd");

  clsConnectionVariables loaded;
  loaded.Load(false);
  EXPECT_EQ(loaded.BuildConnectionString(), v.BuildConnectionString());
  EXPECT_EQ(loaded.Password(), "p@ss w\xC3\xB6rd");
  EXPECT_TRUE(loaded.StorePassword());
  EXPECT_EQ(loaded.ConnectTimeout(), 15);
  EXPECT_EQ(loaded.QueryTimeout(), 0);
}

TEST_F(Stored, WithoutStorePasswordThePasswordStaysOut) {
  clsConnectionVariables v = Tracking();
  v.SetUser("sa");
  v.SetPassword("secret");
  v.Store(false);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "Password"), "");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "Store Password"), "False");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "NTAuthenticate"), "False");

  // A password stored by hand is not used while the flag is off.
  Put(HKEY_CURRENT_USER, "Password", EncipherText("secret", "#41mm8Rta"));
  clsConnectionVariables loaded;
  loaded.Load(false);
  EXPECT_FALSE(loaded.StorePassword());
  EXPECT_EQ(loaded.Password(), "");
  // ...and a text enciphered with another phrase reads as no password.
  Put(HKEY_CURRENT_USER, "Store Password", "True");
  Put(HKEY_CURRENT_USER, "Password", EncipherText("secret", "other phrase"));
  loaded.Load(false);
  EXPECT_EQ(loaded.Password(), "");
}

TEST_F(Stored, PerUserStoreSeedsTheMachineOnce) {
  clsConnectionVariables first = Tracking();
  first.Store(false);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "SQLServer"), "SRV1");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SQLServer"), "SRV1");
  EXPECT_EQ(Names(HKEY_LOCAL_MACHINE).size(), 9u);

  clsConnectionVariables second = Tracking();
  second.SetServer("SRV2");
  second.Store(false);
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "SQLServer"), "SRV2");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SQLServer"), "SRV1");

  // All users: the machine only, always overwritten.
  clsConnectionVariables all = Tracking();
  all.SetServer("SRV3");
  all.Store(true);
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SQLServer"), "SRV3");
  EXPECT_EQ(Text(HKEY_CURRENT_USER, "SQLServer"), "SRV2");
}

TEST_F(Stored, AllValuesComeFromTheHiveThatNamesTheServer) {
  Put(HKEY_LOCAL_MACHINE, "SQLServer", "MACHINE");
  Put(HKEY_LOCAL_MACHINE, "SQLDatabase", "MachineDb");
  Put(HKEY_LOCAL_MACHINE, "QueryTimeout", "30");
  Put(HKEY_CURRENT_USER, "SQLDatabase", "UserDb");  // but no user server

  clsConnectionVariables v;
  v.Load(false);
  EXPECT_EQ(v.Server(), "MACHINE");
  EXPECT_EQ(v.Database(), "MachineDb");
  EXPECT_EQ(v.QueryTimeout(), 30);

  Put(HKEY_CURRENT_USER, "SQLServer", "USER");
  v.Load(false);
  EXPECT_EQ(v.Server(), "USER");
  EXPECT_EQ(v.Database(), "UserDb");
  EXPECT_EQ(v.QueryTimeout(), 60);

  v.Load(true);
  EXPECT_EQ(v.Server(), "MACHINE");
  EXPECT_EQ(v.Database(), "MachineDb");
}

TEST_F(Stored, StoredTextsAreConvertedWithFallbacks) {
  Put(HKEY_CURRENT_USER, "SQLServer", "SRV1");
  struct Case {
    Variant connect, query;
    int16_t connect_loaded, query_loaded;
  } cases[] = {
      {"0", "0", 1, 0},     {"abc", "abc", 1, 60},       {"-5", "-5", 1, -5},
      {"20", "45", 20, 45}, {"100000", "100000", 1, 60},  // does not fit the 16-bit setting
      {"0.4", "2.5", 1, 2},                               // rounds to 0: still no endless wait
  };
  for (const auto& c : cases) {
    Put(HKEY_CURRENT_USER, "ConnectTimeout", c.connect);
    Put(HKEY_CURRENT_USER, "QueryTimeout", c.query);
    clsConnectionVariables v;
    v.Load(false);
    EXPECT_EQ(v.ConnectTimeout(), c.connect_loaded) << c.connect.ToString();
    EXPECT_EQ(v.QueryTimeout(), c.query_loaded) << c.query.ToString();
  }

  // Flags as written by hand: numbers, other spellings, or unreadable text.
  clsConnectionVariables v;
  Put(HKEY_CURRENT_USER, "Store Password", "0");
  Put(HKEY_CURRENT_USER, "NTAuthenticate", "-1");
  v.Load(false);
  EXPECT_FALSE(v.StorePassword());
  EXPECT_TRUE(v.NTAuthenticate());
  Put(HKEY_CURRENT_USER, "Store Password", "yes");
  Put(HKEY_CURRENT_USER, "NTAuthenticate", "TRUE");
  v.Load(false);
  EXPECT_TRUE(v.StorePassword());  // its default
  EXPECT_TRUE(v.NTAuthenticate());

  // Values of another registry type.
  TempHive::Write(hive_.UserHive(),
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrix 4.0]\n"
                  "\"SQLServer\"=\"SRV1\"\n\"SQLDatabase\"=hex:01,02\n"
                  "\"NTAuthenticate\"=dword:00000001\n\"ConnectTimeout\"=dword:0000000a\n");
  v.Load(false);
  EXPECT_EQ(v.Database(), "");
  EXPECT_TRUE(v.NTAuthenticate());
  EXPECT_EQ(v.ConnectTimeout(), 10);
}

TEST_F(Stored, AllUsersStoreOverwritesAMachineServerOfAnotherType) {
  TempHive::Write(hive_.SystemHive(),
                  "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestrix 4.0]\n"
                  "\"SQLServer\"=hex:53,52,56\n");
  Tracking().Store(true);
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SQLServer"), "SRV1");
  EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, "SQLDatabase"), "Tracking");
}

}  // namespace
}  // namespace kx4
