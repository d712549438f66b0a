#include <kx4data/Settings.h>

#include <gtest/gtest.h>

#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>

#include "session/SessionSupport.h"

namespace kx4 {
namespace {

constexpr const char* kNotFound =
    "Kestrix could not find your settings information. Please contact your technical support.";

using SettingsRow = test::SessionTest;

TEST_P(SettingsRow, LoadsEveryColumnAndNullTextsAsEmpty) {
  test::Execute(Connect(),
                "UPDATE tblSettings SET UserValidation = 1, UseValidatedField = 1, "
                "ValidatedFieldName = NULL, AllowShutdown = 1, AllowCostOverride = 0, "
                "CapturePrintToFile = 1, Field1Use = 1, Field1Name = NULL, Field2Use = 0, "
                "Field2Name = N'Project', DisplayIcon = 0, ShowCost = 1, CancelMaxPage = 1, "
                "AllowBatch = 1, MaxBatch = 12, BatchDuration = 30, UseLastEntries = 1");
  KXData session;
  std::shared_ptr<Settings> settings;
  ASSERT_EQ(DataGlobal().GetSettings(session, settings), nullptr);
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings->UserValidation());
  EXPECT_TRUE(settings->UseValidatedField());
  EXPECT_EQ(settings->ValidatedFieldName(), "");
  EXPECT_TRUE(settings->AllowShutdown());
  EXPECT_FALSE(settings->AllowCostOverride());
  EXPECT_TRUE(settings->CapturePrintToFile());
  EXPECT_TRUE(settings->UseFieldOne());
  EXPECT_EQ(settings->FieldOneName(), "");
  EXPECT_FALSE(settings->UseFieldTwo());
  EXPECT_EQ(settings->FieldTwoName(), "Project");
  EXPECT_FALSE(settings->DisplayTrayIcon());
  EXPECT_TRUE(settings->ShowCost());
  EXPECT_TRUE(settings->CancelMaxPage());
  EXPECT_TRUE(settings->AllowBatch());
  EXPECT_EQ(settings->MaxBatch(), 12);
  EXPECT_EQ(settings->BatchDuration(), 30);
  EXPECT_TRUE(settings->UseLastEntries());
  EXPECT_EQ(settings->DBVersion(), 4);
}

TEST_P(SettingsRow, AnEmptyTableIsNotFound) {
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  test::Execute(Connect(), "DELETE FROM tblSettings");
  std::shared_ptr<Settings> settings;
  KXErrorPtr error = DataGlobal().GetSettings(session, settings);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), kNotFound);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->KXErrorNumber(), erUnknown);
  EXPECT_EQ(settings, nullptr);
}

TEST_P(SettingsRow, SaveWritesWhatLoadReadsAndNothingElse) {
  test::Execute(Connect(),
                "UPDATE tblSettings SET UnlistedPrinterConfigId = 7, "
                "ApplicationIgnore = 1, SecureAdmin = 1, SecureViewer = 1");
  KXData session;
  KXDataTestPeer::Grant(session, kxsAdmin);
  std::shared_ptr<Settings> settings;
  ASSERT_EQ(DataGlobal().GetSettings(session, settings), nullptr);
  settings->SetValidatedFieldName("  Cost centre  ");
  EXPECT_EQ(settings->ValidatedFieldName(), "Cost centre");
  settings->SetFieldOneName(" O'Brien's job ");  // held exactly as assigned
  settings->SetFieldTwoName("");
  settings->SetMaxBatch(-3);
  settings->SetBatchDuration(600);
  settings->SetShowCost(true);
  settings->SetDisplayTrayIcon(false);
  ASSERT_EQ(settings->Save(session), nullptr);

  std::shared_ptr<Settings> reloaded;
  ASSERT_EQ(DataGlobal().GetSettings(session, reloaded), nullptr);
  EXPECT_EQ(reloaded->ValidatedFieldName(), "Cost centre");
  EXPECT_EQ(reloaded->FieldOneName(), " O'Brien's job ");
  EXPECT_EQ(reloaded->FieldTwoName(), "");
  EXPECT_EQ(reloaded->MaxBatch(), -3);
  EXPECT_EQ(reloaded->BatchDuration(), 600);
  EXPECT_TRUE(reloaded->ShowCost());
  EXPECT_FALSE(reloaded->DisplayTrayIcon());

  auto raw = Connect();
  EXPECT_TRUE(test::Scalar(raw, "SELECT Field2Name FROM tblSettings").IsNull());
  EXPECT_EQ(test::Scalar(raw, "SELECT Version FROM tblSettings").ToLong(), 4);
  EXPECT_EQ(test::Scalar(raw, "SELECT UnlistedPrinterConfigId FROM tblSettings").ToLong(), 7);
  EXPECT_TRUE(test::Scalar(raw, "SELECT ApplicationIgnore FROM tblSettings").ToBoolean());
  EXPECT_TRUE(test::Scalar(raw, "SELECT SecureAdmin FROM tblSettings").ToBoolean());
  EXPECT_TRUE(test::Scalar(raw, "SELECT SecureViewer FROM tblSettings").ToBoolean());
}

TEST_P(SettingsRow, SaveNeedsAdministratorRights) {
  KXData session;
  std::shared_ptr<Settings> settings;
  ASSERT_EQ(DataGlobal().GetSettings(session, settings), nullptr);
  settings->SetMaxBatch(5);
  KXErrorPtr error = settings->Save(session);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), "You do not have the proper access to execute this method.");
  EXPECT_EQ(error->IconType(), 48);
  EXPECT_EQ(test::Scalar(Connect(), "SELECT MaxBatch FROM tblSettings").ToLong(), 0);
}

KX4_INSTANTIATE_ENGINES(SettingsRow);

TEST(DataGlobalIdentity, VersionAndAccessType) {
  DataGlobal global;
  EXPECT_EQ(global.DataVersion(), "4.1.14");
  EXPECT_EQ(global.DataAccessType(), kxdSQLServer);
}

}  // namespace
}  // namespace kx4
