#include <kx4data/KXData.h>

#include <gtest/gtest.h>

#include "dataaccess/Connection.h"
#include "dataaccess/ConnectionPool.h"
#include "session/SessionSupport.h"
#include "support/TempHive.h"

namespace kx4 {
namespace {

using test::ScopedScreen;
using test::SessionTest;

constexpr const char* kWrongVersion =
    "This database is the wrong version for this product. Please contact your technical support.";

bool HasConnection(const KXData& session) {
  return KXDataTestPeer::Connection(session) != nullptr;
}

// --- Without saved settings: nothing to open, whatever is asked ---

class NoSettings : public ::testing::Test {
 protected:
  testing::TempHive hive_;  // empty: neither this user nor the machine has settings
};

TEST_F(NoSettings, SuppressedLoginGives11AtOnceWithoutDialog) {
  ScopedScreen screen;
  screen->login_dialog = [](KXData&) { return KXErrorPtr(); };
  KXData session;
  KXErrorPtr error = session.EstablishConnection(true);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erNoDatabaseDefined);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message(), "There is no server or database set on this computer.");
  EXPECT_EQ(screen->dialogs_shown, 0);
  EXPECT_FALSE(HasConnection(session));
  EXPECT_EQ(session.DBVersion(), 0);
  EXPECT_EQ(screen->pointers, (std::vector<int32_t>{vbHourglass, 3}));
}

TEST_F(NoSettings, HeadlessLoginReturnsTheAttemptsErrorUnchanged) {
  ScopedScreen screen;  // cannot show dialogs
  KXData session;
  // 1 is true but not the canonical true: the login is not suppressed.
  KXErrorPtr error = session.EstablishConnection(int16_t{1});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erNoDatabaseDefined);
  EXPECT_EQ(screen->dialogs_shown, 0);

  // A statement on the idle session fails the same way, runs and logs nothing.
  test::ClearErrorLog();
  std::shared_ptr<ado::Recordset> rs;
  error = KXDataInternal::ExecuteSQL(session, rs, "SELECT 1");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erNoDatabaseDefined);
  EXPECT_EQ(test::ErrorLog(), "");
}

TEST_F(NoSettings, ADialogReplacesTheFailedAttemptsError) {
  ScopedScreen screen;
  auto cancelled = MakeError("User cancelled the login.", 48, erActionCancelled);
  screen->login_dialog = [&](KXData&) { return cancelled; };
  KXData session;
  EXPECT_EQ(session.EstablishConnection(false), cancelled);
  EXPECT_EQ(session.EstablishConnection(), cancelled);
  EXPECT_EQ(screen->dialogs_shown, 2);
  EXPECT_EQ(screen->pointers.back(), 3);
}

TEST_F(NoSettings, HeadlessChangeConnectionIsCancelled) {
  KXData session;
  KXErrorPtr error = session.ChangeConnection();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erActionCancelled);
  EXPECT_EQ(error->IconType(), 48);
  EXPECT_EQ(error->Message(), kNoDialogMessage);
}

TEST_F(NoSettings, AllUsersOnlyReloadsFromTheMachineHive) {
  clsConnectionVariables machine;
  machine.SetServer("SRVM");
  machine.SetDatabase("Machine");
  machine.Store(true);
  clsConnectionVariables user;
  user.SetServer("SRVU");
  user.SetDatabase("User");
  user.Store(false);  // the machine has a server: only this user's hive is written

  KXData session;
  EXPECT_EQ(session.DatabaseInfo(), "User on SRVU");
  session.SetAllUsersOnly(true);
  EXPECT_TRUE(session.AllUsersOnly());
  EXPECT_EQ(session.DatabaseInfo(), "Machine on SRVM");

  // Saving goes to the hive the flag selects.
  KXDataInternal::ConnectionVariables(session)->SetDatabase("Moved");
  session.SaveConnectionSettings();
  clsConnectionVariables reloaded;
  reloaded.Load(true);
  EXPECT_EQ(reloaded.Database(), "Moved");
  reloaded.Load(false);
  EXPECT_EQ(reloaded.Database(), "User");
}

TEST_F(NoSettings, PropertiesAndAnEmptyOwner) {
  KXData session;
  EXPECT_EQ(session.DatabaseInfo(), " on ");
  EXPECT_EQ(KXDataInternal::OwnerPrefix(session), "");
  KXDataInternal::ConnectionVariables(session)->SetOwner("dbo");
  EXPECT_EQ(KXDataInternal::OwnerPrefix(session), "");
  session.SetCaller("  Agent 7  ");
  EXPECT_EQ(session.Caller(), "Agent 7");
  session.CloseConnection();
  session.CloseConnection();
  EXPECT_FALSE(HasConnection(session));
}

// --- On a database ---

using SessionLifecycle = SessionTest;

TEST_P(SessionLifecycle, EstablishedAndClosed) {
  ScopedScreen screen;
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  EXPECT_EQ(session.DBVersion(), 4);
  EXPECT_TRUE(HasConnection(session));
  EXPECT_EQ(screen->pointers, (std::vector<int32_t>{vbHourglass, 3}));

  // ReadOnly cannot change under an established connection...
  session.SetReadOnly(true);
  EXPECT_FALSE(session.ReadOnly());
  // ...but can once it is closed.
  session.CloseConnection();
  EXPECT_FALSE(HasConnection(session));
  session.SetReadOnly(true);
  EXPECT_TRUE(session.ReadOnly());
}

TEST_P(SessionLifecycle, WrongVersionGives12AndLeavesNothingOpen) {
  test::Execute(Connect(), "UPDATE tblSettings SET Version = 3");
  ScopedScreen screen;
  KXData session;
  KXErrorPtr error = session.EstablishConnection(true);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erDatabaseConnection);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message(), kWrongVersion);
  EXPECT_EQ(session.DBVersion(), 3);
  EXPECT_FALSE(HasConnection(session));
  EXPECT_EQ(screen->pointers.back(), 3);
  // Not connected: ReadOnly can still be set.
  session.SetReadOnly(true);
  EXPECT_TRUE(session.ReadOnly());
}

TEST_P(SessionLifecycle, MissingSettingsRowGives12) {
  test::Execute(Connect(), "DELETE FROM tblSettings");
  KXData session;
  KXErrorPtr error = session.EstablishConnection(true);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erDatabaseConnection);
  EXPECT_EQ(error->Message(),
            "Kestrix could not find your settings information. Please contact your technical "
            "support.");
  EXPECT_FALSE(HasConnection(session));
}

TEST_P(SessionLifecycle, UnreadableSettingsRowIsLoggedAs12) {
  test::Execute(Connect(), "DROP TABLE tblSettings");
  KXData session;
  KXErrorPtr error = session.EstablishConnection(true);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erDatabaseConnection);
  EXPECT_EQ(error->Message().rfind("Could not execute query.\r\n", 0), 0u) << error->Message();
  EXPECT_NE(test::ErrorLog().find("tblSettings"), std::string::npos);
}

TEST_P(SessionLifecycle, RefusedOpenGives12WithTheProvidersWords) {
  ScopedScreen screen;
  auto settings = test::SettingsFor(db());
  settings->SetDatabase(db().Database() + "_missing");
  settings->Store(false);
  KXData session;
  KXErrorPtr error = session.EstablishConnection(true);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erDatabaseConnection);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message().rfind("Could not open connection.\r\nUnexpected error occurred in "
                                   "KXData:minsOpenConnection\r\n",
                                   0),
            0u)
      << error->Message();
  EXPECT_NE(error->Number(), 0);
  EXPECT_FALSE(HasConnection(session));
  EXPECT_EQ(screen->pointers.back(), 3);
}

TEST_P(SessionLifecycle, ReadModeRefusesWrites) {
  KXData session;
  session.SetReadOnly(true);
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  EXPECT_EQ(KXDataTestPeer::Connection(session)->Mode(), ado::adModeRead);
  int32_t affected = 0;
  EXPECT_TRUE(
      KXDataInternal::ExecuteNoRecords(session, "UPDATE tblSettings SET MaxBatch = 9", affected));
  EXPECT_EQ(test::Scalar(Connect(), "SELECT MaxBatch FROM tblSettings").ToLong(), 0);
  std::shared_ptr<ado::Recordset> rs;
  EXPECT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT MaxBatch FROM tblSettings"), nullptr);
}

TEST_P(SessionLifecycle, DestroyingASessionClosesItsConnection) {
  std::weak_ptr<ado::Connection> watched;
  {
    KXData session;
    ASSERT_EQ(session.EstablishConnection(true), nullptr);
    ASSERT_EQ(session.BeginTrans(), nullptr);
    int32_t affected = 0;
    ASSERT_EQ(
        KXDataInternal::ExecuteNoRecords(session, "UPDATE tblSettings SET MaxBatch = 9", affected),
        nullptr);
    watched = KXDataTestPeer::Connection(session);
  }
  EXPECT_TRUE(watched.expired());
  // Closed, its open transaction was rolled back and its locks released.
  auto raw = Connect();
  EXPECT_EQ(test::Scalar(raw, "SELECT MaxBatch FROM tblSettings").ToLong(), 0);
  EXPECT_EQ(test::Execute(raw, "UPDATE tblSettings SET MaxBatch = 2"), 1);
}

TEST_P(SessionLifecycle, SetConnectionAdoptsOnlyAWorkingConnection) {
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  auto established = KXDataTestPeer::Connection(session);

  auto wrong = test::SettingsFor(db());
  wrong->SetDatabase(db().Database() + "_missing");
  EXPECT_TRUE(KXDataInternal::SetConnection(session, wrong));
  EXPECT_EQ(KXDataTestPeer::Connection(session), established);

  EXPECT_EQ(KXDataInternal::SetConnection(session, test::SettingsFor(db())), nullptr);
  EXPECT_NE(KXDataTestPeer::Connection(session), established);
  EXPECT_EQ(established->State(), ado::adStateClosed);
  // Adopted: connected, but not established, so ReadOnly may change.
  session.SetReadOnly(true);
  EXPECT_TRUE(session.ReadOnly());
  EXPECT_EQ(session.BeginTrans(), nullptr);
  EXPECT_EQ(session.RollbackTrans(), nullptr);
  // A headless ChangeConnection keeps it.
  auto adopted = KXDataTestPeer::Connection(session);
  EXPECT_TRUE(session.ChangeConnection());
  EXPECT_EQ(KXDataTestPeer::Connection(session), adopted);
}

TEST_P(SessionLifecycle, ALoginDialogConnectsOneStatementAndTheSessionGoesBackToIdle) {
  testing::TempHive empty;  // nothing saved: the on-demand connection fails
  ScopedScreen screen;
  auto typed = test::SettingsFor(db());
  screen->login_dialog = [&](KXData& session) {
    KXErrorPtr error = KXDataInternal::SetConnection(session, typed);
    if (!error)
      KXDataInternal::SetConnectionVariables(session, typed);
    return error;
  };
  KXData session;
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  EXPECT_EQ(rs->Fields(0).Value().ToLong(), 4);
  EXPECT_EQ(screen->dialogs_shown, 1);
  EXPECT_FALSE(HasConnection(session));
  EXPECT_EQ(KXDataInternal::ConnectionVariables(session), typed);
  // The next statement connects on demand with the typed settings.
  ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  EXPECT_EQ(screen->dialogs_shown, 1);
}

TEST_P(SessionLifecycle, AnIdleSessionReusesPooledConnectionsAndChecksTheVersionEachTime) {
  auto raw = Connect();
  ado::ConnectionPool& pool = ado::ConnectionPool::Instance();
  KXData session;
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  const size_t pooled = pool.IdleCount();
  ASSERT_GE(pooled, 1u);
  ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  EXPECT_EQ(pool.IdleCount(), pooled);  // the same connection, back again
  EXPECT_FALSE(HasConnection(session));

  test::Execute(raw, "UPDATE tblSettings SET Version = 3");
  KXErrorPtr error = KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), kWrongVersion);
  EXPECT_EQ(session.DBVersion(), 3);
  test::Execute(raw, "UPDATE tblSettings SET Version = 4");
  EXPECT_EQ(KXDataInternal::ExecuteSQL(session, rs, "SELECT Version FROM tblSettings"), nullptr);
  EXPECT_EQ(session.DBVersion(), 4);
}

KX4_INSTANTIATE_ENGINES(SessionLifecycle);

}  // namespace
}  // namespace kx4
