#include <kx4data/ConnectionSettings.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>

#include "session/SessionSupport.h"
#include "support/TempHive.h"

namespace kx4 {
namespace {

using kx4::testing::TempHive;
using test::ScopedScreen;

constexpr const char* kPassword = "Pw-8c1e7";

ConnectionSettings SettingsOf(const test::TestDatabase& db) {
  ConnectionSettings settings;
  settings.SetServer(db.Server());
  settings.SetDatabase(db.Database());
  settings.SetNTAuthenticate(true);
  settings.SetConnectTimeout(5);
  return settings;
}

TEST(ConnectionSettings, CopiesAreIndependentAndThePasswordStaysInside) {
  ConnectionSettings settings;
  EXPECT_EQ(settings.ConnectTimeout(), 1);
  EXPECT_EQ(settings.QueryTimeout(), 60);
  EXPECT_FALSE(settings.StorePassword());
  settings.SetServer(" SRV1 ");
  settings.SetDatabase(" Tracking ");
  settings.SetUser(" sa ");
  EXPECT_FALSE(settings.HasPassword());
  settings.SetPassword(std::string(" ") + kPassword + " ");
  EXPECT_TRUE(settings.HasPassword());
  EXPECT_EQ(
      settings.BuildConnectionString(),
      std::string("Provider=SQLOLEDB;Data Source=SRV1;Database=Tracking;User ID=sa;Password=") +
          kPassword);
  // The login dialog shows it only when it is remembered.
  EXPECT_EQ(settings.PasswordToPrefill(), "");
  settings.SetStorePassword(true);
  EXPECT_EQ(settings.PasswordToPrefill(), kPassword);

  ConnectionSettings copy = settings;
  copy.SetServer("SRV2");
  copy.SetPassword("");
  EXPECT_EQ(settings.Server(), "SRV1");
  EXPECT_TRUE(settings.HasPassword());
  copy = settings;
  EXPECT_EQ(copy.Server(), "SRV1");
  EXPECT_EQ(copy.PasswordToPrefill(), kPassword);
}

TEST(ConnectionSettings, StoredSettingsLoadBackWithTheirPassword) {
  TempHive hive;
  ConnectionSettings settings;
  settings.SetServer("SRV1");
  settings.SetDatabase("Tracking");
  settings.SetUser("sa");
  settings.SetPassword(kPassword);
  settings.SetStorePassword(true);
  settings.SetQueryTimeout(0);
  settings.Store(false);
  EXPECT_EQ(TempHive::Read(hive.UserHive()).find(kPassword), std::string::npos)
      << "stored enciphered";

  ConnectionSettings loaded;
  loaded.Load(false);
  EXPECT_EQ(loaded.BuildConnectionString(), settings.BuildConnectionString());
  EXPECT_EQ(loaded.QueryTimeout(), 0);
  EXPECT_EQ(loaded.PasswordToPrefill(), kPassword);

  // A session starts from them, and Of hands out a copy.
  KXData session;
  ConnectionSettings of = ConnectionSettings::Of(session);
  EXPECT_EQ(of.BuildConnectionString(), settings.BuildConnectionString());
  of.SetDatabase("Elsewhere");
  EXPECT_EQ(session.DatabaseInfo(), "Tracking on SRV1");
}

class ConnectionAttempt : public test::SessionTest {};

TEST_P(ConnectionAttempt, WorkingSettingsAreAdoptedStoredForTheUserAndHandedOver) {
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  auto established = KXDataTestPeer::Connection(session);

  TempHive hive;  // where the attempt stores
  ConnectionSettings typed = SettingsOf(db());
  typed.SetQueryTimeout(33);
  ASSERT_EQ(typed.AttemptConnection(session), nullptr);
  EXPECT_NE(KXDataTestPeer::Connection(session), established);
  EXPECT_EQ(established->State(), ado::adStateClosed);
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);

  // Stored for this user, and the machine's first settings as well.
  ConnectionSettings stored;
  stored.Load(false);
  EXPECT_EQ(stored.BuildConnectionString(), typed.BuildConnectionString());
  EXPECT_EQ(stored.QueryTimeout(), 33);
  EXPECT_NE(TempHive::Read(hive.SystemHive()).find(db().Database()), std::string::npos);

  // The session holds a copy: later changes to `typed` do not reach it.
  typed.SetDatabase("Elsewhere");
  EXPECT_EQ(ConnectionSettings::Of(session).Database(), db().Database());
  EXPECT_EQ(ConnectionSettings::Of(session).QueryTimeout(), 33);
}

TEST_P(ConnectionAttempt, AllUsersSessionsStoreForTheMachineOnly) {
  KXData session;
  TempHive hive;
  session.SetAllUsersOnly(true);
  ASSERT_EQ(SettingsOf(db()).AttemptConnection(session), nullptr);
  EXPECT_EQ(TempHive::Read(hive.UserHive()), "");
  ConnectionSettings machine;
  machine.Load(true);
  EXPECT_EQ(machine.Database(), db().Database());
}

TEST_P(ConnectionAttempt, FailedSettingsChangeNothingAndNeverShowThePassword) {
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  auto established = KXDataTestPeer::Connection(session);
  const std::string info = session.DatabaseInfo();
  TempHive hive;

  ConnectionSettings typed = SettingsOf(db());
  typed.SetDatabase(db().Database() + "_missing");
  typed.SetNTAuthenticate(false);
  typed.SetUser("nobody");
  typed.SetPassword(kPassword);
  KXErrorPtr error = typed.AttemptConnection(session);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erDatabaseConnection);
  EXPECT_EQ(error->Message().find(kPassword), std::string::npos) << error->Message();
  EXPECT_EQ(test::ErrorLog().find(kPassword), std::string::npos);

  EXPECT_EQ(KXDataTestPeer::Connection(session), established);
  EXPECT_EQ(session.DatabaseInfo(), info);
  EXPECT_EQ(TempHive::Read(hive.UserHive()), "");
  EXPECT_EQ(TempHive::Read(hive.SystemHive()), "");
}

// A host that asks for a password every time connects without keeping it.
TEST_P(ConnectionAttempt, ConnectAdoptsTheSettingsAndStoresNothing) {
  TempHive hive;
  KXData session;
  ConnectionSettings typed = SettingsOf(db());
  typed.SetQueryTimeout(21);
  ASSERT_EQ(typed.Connect(session), nullptr);
  EXPECT_TRUE(KXDataTestPeer::Connection(session));
  EXPECT_EQ(ConnectionSettings::Of(session).QueryTimeout(), 21);
  EXPECT_EQ(TempHive::Read(hive.UserHive()), "");
  EXPECT_EQ(TempHive::Read(hive.SystemHive()), "");

  auto established = KXDataTestPeer::Connection(session);
  typed.SetDatabase(db().Database() + "_missing");
  ASSERT_TRUE(typed.Connect(session));
  EXPECT_EQ(KXDataTestPeer::Connection(session), established);
  EXPECT_EQ(ConnectionSettings::Of(session).Database(), db().Database());
}

// A host's login dialog, written against the public API only: it starts from
// the session's settings and tries what the user typed.
TEST_P(ConnectionAttempt, AHostsLoginDialogConnectsThroughThePublicSettings) {
  ScopedScreen screen;
  std::string prefilled_database;
  screen->login_dialog = [&](KXData& session) {
    ConnectionSettings typed = ConnectionSettings::Of(session);
    prefilled_database = typed.Database();
    typed.SetQueryTimeout(45);
    return typed.AttemptConnection(session);
  };
  KXData session;
  ASSERT_EQ(session.ChangeConnection(), nullptr);
  EXPECT_EQ(prefilled_database, db().Database());
  EXPECT_EQ(screen->dialogs_shown, 1);
  EXPECT_TRUE(KXDataTestPeer::Connection(session));
  EXPECT_EQ(ConnectionSettings::Of(session).QueryTimeout(), 45);
}

KX4_INSTANTIATE_ENGINES(ConnectionAttempt);

}  // namespace
}  // namespace kx4
