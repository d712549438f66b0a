#include <kx4data/DataGlobal.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>
#include <kx4data/User.h>

#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

class AppSecurityTest : public AdministeredSessionTest {
 protected:
  bool Stored(const char* column) {
    return Value(std::string("SELECT ") + column + " FROM tblSettings").ToBoolean();
  }
  DataGlobal global;
};

TEST_P(AppSecurityTest, GetReadsBothSwitchesIntoWhicheverArgumentIsGiven) {
  SetSwitches(true, false);
  bool admin = false;
  bool viewer = true;
  ASSERT_EQ(global.GetAppSecurity(session(), admin, viewer), nullptr);
  EXPECT_TRUE(admin);
  EXPECT_FALSE(viewer);

  SetSwitches(false, true);
  ASSERT_EQ(global.GetAppSecurity(session(), admin), nullptr);
  EXPECT_FALSE(admin);
  EXPECT_FALSE(viewer) << "not asked for";
  ASSERT_EQ(global.GetAppSecurity(session(), std::nullopt, viewer), nullptr);
  EXPECT_TRUE(viewer);
  EXPECT_EQ(global.GetAppSecurity(session()), nullptr);
}

// A database without its settings row cannot say whether it is secured: an
// error object says so and the arguments are left alone.
TEST_P(AppSecurityTest, GetWithoutSettingsRowIsAClearError) {
  Exec("DELETE FROM tblSettings");
  bool admin = true;
  bool viewer = true;
  KXErrorPtr e = global.GetAppSecurity(session(), admin, viewer);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_NE(e->Message().find("could not find your settings"), std::string::npos);
  EXPECT_TRUE(admin);
  EXPECT_TRUE(viewer);
  EXPECT_NE(global.GetAppSecurity(session(), std::nullopt, viewer), nullptr);
  EXPECT_TRUE(viewer);
}

TEST_P(AppSecurityTest, SecuringAdministrationNeedsAnAdministrator) {
  SetSwitches(false, true);
  KXErrorPtr e = global.SetAppSecurity(session(), true, false);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(),
            "You cannot secure the administrator as there are no users in the database with "
            "admin security.");
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  EXPECT_EQ(e->KXErrorNumber(), erUnknown);
  EXPECT_FALSE(Stored("SecureAdmin"));
  EXPECT_TRUE(Stored("SecureViewer"));

  // The viewer switch alone needs nobody.
  ASSERT_EQ(global.SetAppSecurity(session(), false, false), nullptr);
  ASSERT_EQ(global.SetAppSecurity(session(), false, true), nullptr);
  EXPECT_TRUE(Stored("SecureViewer"));

  // An inactive administrator is enough.
  User admin;
  admin.SetPinCode("1001");
  admin.SetAdminSecurity(true);
  admin.SetActive(false);
  ASSERT_EQ(admin.Save(session()), nullptr);
  ASSERT_EQ(global.SetAppSecurity(session(), true, false), nullptr);
  EXPECT_TRUE(Stored("SecureAdmin"));
  EXPECT_FALSE(Stored("SecureViewer"));
  bool read_admin = false;
  bool read_viewer = true;
  ASSERT_EQ(global.GetAppSecurity(session(), read_admin, read_viewer), nullptr);
  EXPECT_TRUE(read_admin);
  EXPECT_FALSE(read_viewer);
}

TEST_P(AppSecurityTest, SetNeedsAdministratorRights) {
  SetSwitches(true, true);
  ASSERT_EQ(session().GetAuthorization(), nullptr);
  KXErrorPtr e = global.SetAppSecurity(session(), false, false);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
  EXPECT_TRUE(Stored("SecureAdmin"));
  EXPECT_TRUE(Stored("SecureViewer"));
}

KX4_INSTANTIATE_ENGINES(AppSecurityTest);

}  // namespace
}  // namespace kx4::test
