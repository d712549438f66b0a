#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include <kx4data/KXData.h>
#include <kx4data/User.h>

#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

class AuthorizationTest : public EstablishedSessionTest {
 protected:
  // Stored with the rights of an unsecured installation; every later
  // authorisation rebuilds the policies anyway.
  std::shared_ptr<User> Store(const std::string& pin, bool admin, KXReportSecurity report,
                              bool active = true) {
    GrantAll();
    auto user = std::make_shared<User>();
    user->SetName("User " + pin);
    user->SetPinCode(pin);
    user->SetAdminSecurity(admin);
    user->SetReportSecurity(report);
    user->SetActive(active);
    KXErrorPtr e = user->Save(session());
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    return user;
  }

  std::set<int32_t> Held() {
    std::set<int32_t> held;
    for (int32_t policy = 0; policy <= 5; ++policy) {
      if (session().CheckSecurity(KXSecurity{policy}))
        held.insert(policy);
    }
    return held;
  }
};

std::set<int32_t> SwitchGrants(bool secure_admin, bool secure_viewer) {
  std::set<int32_t> held{kxsWriteJob};
  if (!secure_admin)
    held.insert(kxsAdmin);
  if (!secure_viewer)
    held.insert(kxsReporterAll);
  return held;
}

TEST_P(AuthorizationTest, SwitchesAloneDecideWithoutPin) {
  EXPECT_EQ(Held(), std::set<int32_t>{});
  for (bool secure_admin : {false, true}) {
    for (bool secure_viewer : {false, true}) {
      SetSwitches(secure_admin, secure_viewer);
      std::shared_ptr<User> out;
      EXPECT_EQ(session().GetAuthorization("", out), nullptr);
      EXPECT_EQ(Held(), SwitchGrants(secure_admin, secure_viewer)) << secure_admin << secure_viewer;
      EXPECT_EQ(out, nullptr);
      EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), nullptr);
    }
  }
}

TEST_P(AuthorizationTest, PinUserAddsHisRightsToTheSwitches) {
  struct Rights {
    const char* pin;
    bool admin;
    KXReportSecurity report;
  } const rights[] = {{"11", false, kxrNone}, {"12", false, kxrOwnData}, {"13", false, kxrAllData},
                      {"21", true, kxrNone},  {"22", true, kxrOwnData},  {"23", true, kxrAllData}};
  for (const Rights& r : rights)
    Store(r.pin, r.admin, r.report);

  for (bool secure_admin : {false, true}) {
    for (bool secure_viewer : {false, true}) {
      SetSwitches(secure_admin, secure_viewer);
      for (const Rights& r : rights) {
        std::shared_ptr<User> out;
        ASSERT_EQ(session().GetAuthorization(r.pin, out), nullptr);
        std::set<int32_t> expected = SwitchGrants(secure_admin, secure_viewer);
        if (r.admin)
          expected.insert(kxsAdmin);
        if (r.report == kxrAllData)
          expected.insert(kxsReporterAll);
        if (r.report == kxrOwnData)
          expected.insert(kxsReporterOwn);
        EXPECT_EQ(Held(), expected) << r.pin << " " << secure_admin << secure_viewer;
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(out, KXDataInternal::AuthorizedUser(session()));
        EXPECT_EQ(out->Name(), std::string("User ") + r.pin);
      }
    }
  }
}

TEST_P(AuthorizationTest, RefusedPinKeepsTheEarlierUser) {
  Store("1000", false, kxrOwnData);
  std::shared_ptr<User> leaver = Store("2000", false, kxrAllData);
  SetSwitches(true, true);
  std::shared_ptr<User> first;
  ASSERT_EQ(session().GetAuthorization("1000", first), nullptr);
  EXPECT_EQ(Held(), (std::set<int32_t>{kxsReporterOwn, kxsWriteJob}));

  leaver->SetActive(false);
  GrantAll();
  ASSERT_EQ(leaver->Save(session()), nullptr);
  EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), first);
  SetSwitches(true, true);

  std::shared_ptr<User> out = first;
  KXErrorPtr e = session().GetAuthorization("2000", out);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Invalid PIN code.");
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  EXPECT_EQ(e->KXErrorNumber(), erUnknown);
  EXPECT_EQ(Held(), std::set<int32_t>{kxsWriteJob});
  EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), first);
  EXPECT_EQ(out, first);

  out.reset();
  e = session().GetAuthorization("3000", out);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "User record expected.");
  EXPECT_EQ(e->KXErrorNumber(), erRecordExpected);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), first);

  // Without a PIN the authorised user stays too.
  EXPECT_EQ(session().GetAuthorization(), nullptr);
  EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), first);
}

TEST_P(AuthorizationTest, AdministratorPinWithAdminSwitchOffHoldsAdminTwice) {
  Store("4242", true, kxrNone);
  SetSwitches(false, true);
  ASSERT_EQ(session().GetAuthorization("4242"), nullptr);
  EXPECT_TRUE(session().CheckSecurity(kxsAdmin));
  EXPECT_EQ(Held(), (std::set<int32_t>{kxsAdmin, kxsWriteJob}));
  EXPECT_FALSE(session().CheckSecurity(KXSecurity{0}));
}

TEST_P(AuthorizationTest, UnreadableSwitchesGrantOnlyJobWriting) {
  Store("5150", false, kxrAllData);
  Exec("DELETE FROM tblSettings");
  KXErrorPtr e = session().GetAuthorization();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(Held(), std::set<int32_t>{kxsWriteJob});

  // With a PIN the lookup's result is the result.
  EXPECT_EQ(session().GetAuthorization("5150"), nullptr);
  EXPECT_EQ(Held(), (std::set<int32_t>{kxsReporterAll, kxsWriteJob}));
}

// Blanks are not an empty PIN: they are looked up, trimmed to nothing, and
// never match a user stored without a PIN.
TEST_P(AuthorizationTest, BlankPinMatchesNobody) {
  Store("   ", true, kxrAllData);
  SetSwitches(true, true);
  KXErrorPtr e = session().GetAuthorization("   ");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "User record expected.");
  EXPECT_EQ(Held(), std::set<int32_t>{kxsWriteJob});
  EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), nullptr);
}

TEST_P(AuthorizationTest, PinThatCannotBeEncipheredAuthorisesNobody) {
  SetSwitches(true, true);
  KXErrorPtr e = session().GetAuthorization(std::string(120, '9'));
  ASSERT_NE(e, nullptr);
  EXPECT_NE(e->Message().find("could not be enciphered"), std::string::npos);
  EXPECT_EQ(Held(), std::set<int32_t>{kxsWriteJob});
  EXPECT_EQ(KXDataInternal::AuthorizedUser(session()), nullptr);
}

KX4_INSTANTIATE_ENGINES(AuthorizationTest);

}  // namespace
}  // namespace kx4::test
