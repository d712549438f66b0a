#include <kx4data/User.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <kx4data/KXData.h>

#include "session/Common.h"
#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

constexpr const char* kPinKey = "T9W35K614)p";
constexpr const char* kAccessMessage = "You do not have the proper access to execute this method.";
constexpr const char* kSaveLastAdmin =
    "You cannot save this user. You must have at least one active administrator.";
constexpr const char* kDeleteLastAdmin =
    "You cannot delete this user as it is the last administrator in the database.";

class UserTest : public AdministeredSessionTest {
 protected:
  // A stored user; the test fails at once when it cannot be saved.
  User Saved(const std::string& name, const std::string& pin, bool admin = false,
             bool active = true) {
    User user;
    user.SetName(name);
    user.SetPinCode(pin);
    user.SetAdminSecurity(admin);
    user.SetActive(active);
    KXErrorPtr e = user.Save(session());
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return user;
  }

  std::string StoredPin(const User& user) {
    Variant v = Value("SELECT PinCode FROM tblUsers WHERE UserId = " + std::to_string(user.Id()));
    return v.IsNull() ? "<null>" : v.ToString();
  }
  bool StoredFlag(const User& user, const std::string& column) {
    return Value("SELECT " + column + " FROM tblUsers WHERE UserId = " + std::to_string(user.Id()))
        .ToBoolean();
  }
};

void ExpectRefusal(const KXErrorPtr& e, int32_t number, const std::string& message) {
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), number);
  EXPECT_EQ(e->Message(), message);
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
}

TEST_P(UserTest, OnlyAdministratorIsProtectedWhileSecureAdminIsOn) {
  User admin = Saved("Ada", "1001", true);
  User clerk = Saved("Bob", "1002");
  SetSwitches(true, false);

  admin.SetAdminSecurity(false);
  ExpectRefusal(admin.Save(session()), erRecordExpected, kSaveLastAdmin);
  EXPECT_TRUE(StoredFlag(admin, "AdminSecurity"));

  admin.SetAdminSecurity(true);
  admin.SetActive(false);
  ExpectRefusal(admin.Save(session()), erRecordExpected, kSaveLastAdmin);
  EXPECT_TRUE(StoredFlag(admin, "Active"));

  admin.SetActive(true);
  admin.SetName("Ada Lovelace");
  EXPECT_EQ(admin.Save(session()), nullptr);

  ExpectRefusal(admin.Delete(session()), erRecordExpected, kDeleteLastAdmin);
  EXPECT_EQ(Count("tblUsers WHERE UserId = " + std::to_string(admin.Id())), 1);

  // Others may come and go: the administrator rule does not touch inserts.
  User newcomer = Saved("Cy", "1003");
  EXPECT_NE(newcomer.Id(), -1);
  EXPECT_EQ(clerk.Delete(session()), nullptr);
  EXPECT_EQ(Count("tblUsers"), 2);
}

TEST_P(UserTest, SecureAdminOffLetsTheOnlyAdministratorGo) {
  User admin = Saved("Ada", "1001", true);
  SetSwitches(false, true);
  admin.SetAdminSecurity(false);
  EXPECT_EQ(admin.Save(session()), nullptr);
  EXPECT_FALSE(StoredFlag(admin, "AdminSecurity"));
  EXPECT_EQ(admin.Delete(session()), nullptr);
  EXPECT_EQ(Count("tblUsers"), 0);
}

TEST_P(UserTest, InactiveAdministratorStillCounts) {
  User first = Saved("Ada", "1001", true);
  User second = Saved("Eve", "1002", true, false);
  SetSwitches(true, true);
  first.SetAdminSecurity(false);
  EXPECT_EQ(first.Save(session()), nullptr);
  // Now the inactive one is the last.
  ExpectRefusal(second.Delete(session()), erRecordExpected, kDeleteLastAdmin);
}

TEST_P(UserTest, DuplicatePinIsReportedAsExistingValueAndNotLogged) {
  User first = Saved("Ada", "4321");
  ErrorLogWatch log;

  User twin;
  twin.SetName("Twin");
  twin.SetPinCode("4321");
  KXErrorPtr e = twin.Save(session());
  ExpectRefusal(e, erDataValueExists, "This pin number already exists in the database.");
  EXPECT_EQ(e->Number(), 2601);
  EXPECT_EQ(twin.Id(), -1);
  EXPECT_FALSE(session().InTransaction());

  User other = Saved("Bob", "9999");
  other.SetPinCode("4321");
  e = other.Save(session());
  ExpectRefusal(e, erDataValueExists, "This pin number already exists in the database.");
  EXPECT_EQ(e->Number(), 2601);

  EXPECT_EQ(Count("tblUsers"), 2);
  EXPECT_EQ(log.NewText(), "");
}

TEST_P(UserTest, PinIsTrimmedEncipheredAndDecipheredOnLoad) {
  User user = Saved("Ada", "  2468  ");
  const std::string stored = StoredPin(user);
  EXPECT_EQ(stored, EncipherText("2468", kPinKey));
  EXPECT_EQ(stored.find("2468"), std::string::npos);

  // Loading deciphers: saving the loaded object writes the same cipher text
  // again rather than enciphering it twice.
  User loaded;
  ASSERT_EQ(loaded.Load(session(), user.Id()), nullptr);
  ASSERT_EQ(loaded.Save(session()), nullptr);
  EXPECT_EQ(StoredPin(user), stored);
}

TEST_P(UserTest, LoadReadsEveryColumnAndReportsAMissingId) {
  User user;
  user.SetName("  O'Hara  ");
  user.SetPinCode("777");
  user.SetUseQuota(true);
  user.SetQuotaRemaining(Currency::FromTicks(123456));  // 12.3456
  user.SetAdminSecurity(true);
  user.SetReportSecurity(kxrAllData);
  ASSERT_EQ(user.Save(session()), nullptr);

  User loaded;
  ASSERT_EQ(loaded.Load(session(), user.Id()), nullptr);
  EXPECT_EQ(loaded.Id(), user.Id());
  EXPECT_EQ(loaded.Name(), "O'Hara");
  EXPECT_TRUE(loaded.UseQuota());
  EXPECT_EQ(loaded.QuotaRemaining(), Currency::FromTicks(123456));
  EXPECT_TRUE(loaded.Active());
  EXPECT_TRUE(loaded.AdminSecurity());
  EXPECT_EQ(loaded.ReportSecurity(), kxrAllData);
  EXPECT_FALSE(loaded.Authorized());

  KXErrorPtr e = loaded.Load(session(), 999);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(e->Message(), "User record expected: id - 999");
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(loaded.Id(), 999);
  EXPECT_EQ(loaded.Name(), "O'Hara");
}

TEST_P(UserTest, EveryOperationNeedsAdministratorRights) {
  User user = Saved("Ada", "1001", true);
  SetSwitches(true, false);
  ASSERT_EQ(session().GetAuthorization(), nullptr);
  ASSERT_FALSE(session().CheckSecurity(kxsAdmin));

  User other;
  ExpectRefusal(other.Load(session(), user.Id()), erUnknown, kAccessMessage);
  user.SetName("Changed");
  ExpectRefusal(user.Save(session()), erUnknown, kAccessMessage);
  ExpectRefusal(user.Delete(session()), erUnknown, kAccessMessage);
  ExpectRefusal(user.BatchUpdate(session(), std::to_string(user.Id())), erUnknown, kAccessMessage);
  EXPECT_EQ(Value("SELECT Name FROM tblUsers").ToString(), "Ada");
  EXPECT_EQ(Count("tblUsers"), 1);
}

TEST_P(UserTest, DeleteOfAnUnsavedUserRunsNothing) {
  Exec("DROP TABLE tblUsers");
  ErrorLogWatch log;
  User user;
  EXPECT_EQ(user.Delete(session()), nullptr);
  EXPECT_EQ(log.NewText(), "");
}

TEST_P(UserTest, UserWithJobsIsNeverDeleted) {
  User admin = Saved("Ada", "1001", true);
  User clerk = Saved("Bob", "1002");
  Exec("INSERT INTO tblPrintJobs (UserId, NetworkUser, DatePrinted) VALUES (" +
       std::to_string(clerk.Id()) + ", N'bob', GETDATE())");
  for (bool secure : {false, true}) {
    SetSwitches(secure, secure);
    KXErrorPtr e = clerk.Delete(session());
    ExpectRefusal(e, erChildrenExist,
                  "You cannot delete this user as it has jobs in the database.\r\n"
                  "You can make the value inactive instead.");
  }
  EXPECT_EQ(Count("tblUsers"), 2);
}

TEST_P(UserTest, BatchUpdateSetsFourValuesOnTheListedUsersOnly) {
  User users[5];
  for (int i = 0; i < 5; ++i)
    users[i] = Saved("User " + std::to_string(i + 1), "50" + std::to_string(i + 1), i == 2);
  const std::string pin3 = StoredPin(users[2]);

  User values;
  values.SetActive(false);
  values.SetUseQuota(true);
  values.SetQuotaRemaining(Currency::FromInteger(40));
  values.SetReportSecurity(kxrOwnData);
  values.SetName("ignored");
  values.SetPinCode("ignored");
  values.SetAdminSecurity(false);
  const std::string ids = std::to_string(users[2].Id()) + ", " + std::to_string(users[4].Id());
  ASSERT_EQ(values.BatchUpdate(session(), ids), nullptr);

  for (int i = 0; i < 5; ++i) {
    User loaded;
    ASSERT_EQ(loaded.Load(session(), users[i].Id()), nullptr);
    const bool listed = i == 2 || i == 4;
    EXPECT_EQ(loaded.Name(), "User " + std::to_string(i + 1));
    EXPECT_EQ(loaded.Active(), !listed) << i;
    EXPECT_EQ(loaded.UseQuota(), listed) << i;
    EXPECT_EQ(loaded.QuotaRemaining(), listed ? Currency::FromInteger(40) : Currency()) << i;
    EXPECT_EQ(loaded.ReportSecurity(), listed ? kxrOwnData : kxrNone) << i;
    EXPECT_EQ(loaded.AdminSecurity(), i == 2) << i;
  }
  EXPECT_EQ(StoredPin(users[2]), pin3);
}

TEST_P(UserTest, BatchUpdateRefusesAnythingButAnIdList) {
  Saved("Ada", "1001", true);
  Saved("Bob", "1002");
  ErrorLogWatch log;
  User values;
  values.SetActive(false);
  for (const char* bad : {"1) OR (1=1", "", "1,", "1; DELETE FROM tblUsers"}) {
    KXErrorPtr e = values.BatchUpdate(session(), bad);
    ASSERT_NE(e, nullptr) << bad;
    EXPECT_EQ(e->IconType(), KXError::kIconStop);
  }
  EXPECT_EQ(Count("tblUsers WHERE Active = 1"), 2);
  EXPECT_EQ(log.NewText(), "");
}

// A PIN the cipher library cannot encipher (here: longer than its output
// buffer holds) must not be stored as NULL nor looked up as the empty text.
TEST_P(UserTest, PinThatCannotBeEncipheredIsRefused) {
  const std::string long_pin(120, '7');
  ASSERT_EQ(EncipherText(long_pin, kPinKey), "");

  User fresh;
  fresh.SetName("Long");
  fresh.SetPinCode(long_pin);
  KXErrorPtr e = fresh.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_NE(e->Message().find("could not be enciphered"), std::string::npos);
  EXPECT_EQ(fresh.Id(), -1);
  EXPECT_EQ(Count("tblUsers"), 0);

  User user = Saved("Ada", "1001");
  const std::string stored = StoredPin(user);
  user.SetPinCode(long_pin);
  EXPECT_NE(user.Save(session()), nullptr);
  EXPECT_EQ(StoredPin(user), stored);
}

// Loading must not turn a PIN it cannot decipher into "no PIN", which the
// next Save would write back as NULL.
TEST_P(UserTest, StoredPinThatCannotBeDecipheredFailsTheLoad) {
  User user = Saved("Ada", "1001");
  Exec("UPDATE tblUsers SET PinCode = N'not-a-cipher-text' WHERE UserId = " +
       std::to_string(user.Id()));
  User loaded;
  loaded.SetName("before");
  KXErrorPtr e = loaded.Load(session(), user.Id());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_NE(e->Message().find("could not be deciphered"), std::string::npos);
  EXPECT_EQ(loaded.Name(), "before");
}

TEST_P(UserTest, UserWithoutPinIsStoredWithNull) {
  User user = Saved("Nobody", "   ");
  EXPECT_EQ(StoredPin(user), "<null>");
  User loaded;
  ASSERT_EQ(loaded.Load(session(), user.Id()), nullptr);
  EXPECT_EQ(loaded.Name(), "Nobody");
}

// The statements as the session ran them, read back from the error log after
// the table they write has gone.
TEST_P(UserTest, InsertAndUpdateStatementTexts) {
  User user = Saved("Ada", "1001", true);
  user.SetName("Ada O'Hara");
  user.SetUseQuota(true);
  user.SetReportSecurity(kxrOwnData);
  Exec("DROP TABLE tblUsers");
  ErrorLogWatch log;

  EXPECT_NE(user.Save(session()), nullptr);
  EXPECT_NE(log.NewText().find("\"UPDATE tblUsers SET PinCode = ?, Name = N'Ada O''Hara', "
                               "UseQuota = -1, QuotaRemaining = ?, Active = -1, AdminSecurity = "
                               "-1, ReportSecurity = 1 WHERE UserId = " +
                               std::to_string(user.Id()) + "\"\r\n"),
            std::string::npos)
      << log.NewText();

  User fresh;
  fresh.SetPinCode("2002");
  EXPECT_NE(fresh.Save(session()), nullptr);
  EXPECT_EQ(fresh.Id(), -1);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_NE(
      log.NewText().find("\"SET NOCOUNT ON INSERT INTO tblUsers(PinCode, Name, UseQuota, "
                         "QuotaRemaining, Active, AdminSecurity, ReportSecurity) VALUES (?, "
                         "?, ?, ?, ?, ?, ?) SET NOCOUNT OFF SELECT @@IDENTITY AS NewId\"\r\n"),
      std::string::npos)
      << log.NewText();
}

// Text holding a NUL is refused whole, never stored cut short at it.
TEST_P(UserTest, ANameHoldingNulIsRefused) {
  User user;
  user.SetName(std::string("nul\0inside", 10));
  user.SetPinCode("4711");
  KXErrorPtr e = user.Save(session());
  ASSERT_NE(e, nullptr);
  EXPECT_NE(e->Message().find("NUL"), std::string::npos) << e->Message();
  EXPECT_EQ(user.Id(), -1);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM tblUsers WHERE Name LIKE N'nul%'").ToLong(), 0);
}

KX4_INSTANTIATE_ENGINES(UserTest);

}  // namespace
}  // namespace kx4::test
