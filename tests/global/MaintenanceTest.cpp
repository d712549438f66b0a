#include <kx4data/DataGlobal.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>
#include <kx4data/ado/Recordset.h>

#include <string>

#include "global/JobRows.h"
#include "support/SessionFixture.h"
#include "support/TempHive.h"

namespace kx4::test {
namespace {

using kx4::testing::TempHive;

constexpr char kNoAccess[] = "You do not have the proper access to execute this method.";

class MaintenanceTest : public AdministeredSessionTest {
 protected:
  void AddJob(const std::string& document, DateTime printed) {
    InsertJob(raw(), {.document = document, .printed = printed});
  }
  std::string Documents() {
    std::string documents;
    auto rs = Query(raw(), "SELECT Document FROM tblPrintJobs ORDER BY DatePrinted");
    for (; !rs->Eof(); rs->MoveNext())
      documents += rs->Fields(0).Value().ToString() + " ";
    return documents;
  }
  // Authorised without administrator rights.
  void Unprivileged() {
    SetSwitches(true, false);
    ASSERT_EQ(session().GetAuthorization(), nullptr);
  }

  DataGlobal global_;
};

TEST_P(MaintenanceTest, PurgeDeletesFromTheFromDateUpToButNotIncludingTheToDate) {
  const DateTime january = DateTime::FromCivil(2026, 1, 1);
  const DateTime february = DateTime::FromCivil(2026, 2, 1);
  AddJob("december", DateTime::FromCivil(2025, 12, 31, 23, 59));
  AddJob("first", january);
  AddJob("last", DateTime::FromCivil(2026, 1, 31, 23, 59));
  AddJob("february", february);
  const std::string all = "december first last february ";

  EXPECT_EQ(global_.PurgeJobs(session(), february, february), nullptr);
  EXPECT_EQ(Documents(), all) << "equal dates delete nothing";

  KXErrorPtr e = global_.PurgeJobs(session(), february.AddSeconds(1), february);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Invalid dates. From date must be less than to date.");
  EXPECT_EQ(e->IconType(), KXError::kIconStop);
  EXPECT_EQ(e->KXErrorNumber(), erUnknown);
  EXPECT_EQ(Documents(), all);

  Unprivileged();
  e = global_.PurgeJobs(session(), january, february);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), kNoAccess);
  EXPECT_EQ(Documents(), all);

  GrantAll();
  EXPECT_EQ(global_.PurgeJobs(session(), january, february), nullptr);
  EXPECT_EQ(Documents(), "december february ");
}

TEST_P(MaintenanceTest, CountsCountActiveRowsAndAreZeroOnFailure) {
  Exec("INSERT INTO tblValidatedValues (Code, Active) VALUES ('A', 1), ('B', 0), ('C', 1)");
  Exec("INSERT INTO tblPaperTypes (Description, Active) VALUES ('Plain', 0), ('Glossy', 1)");
  int32_t values = -1;
  int32_t papers = -1;
  EXPECT_EQ(global_.GetValidatedValueCount(session(), values), nullptr);
  EXPECT_EQ(global_.GetPaperTypeCount(session(), papers), nullptr);
  EXPECT_EQ(values, 2);
  EXPECT_EQ(papers, 1);

  Exec("DROP TABLE tblPaperTypes");
  EXPECT_NE(global_.GetPaperTypeCount(session(), papers), nullptr);
  EXPECT_EQ(papers, 0);
}

TEST_P(MaintenanceTest, ApplicationTrackIsStoredForAdministratorsAndReadByAnyone) {
  bool ignore = false;
  ASSERT_EQ(global_.SetApplicationTrack(session(), true), nullptr);
  EXPECT_TRUE(Value("SELECT ApplicationIgnore FROM tblSettings").ToBoolean());
  ASSERT_EQ(global_.GetApplicationTrack(session(), ignore), nullptr);
  EXPECT_TRUE(ignore);

  Unprivileged();
  KXErrorPtr e = global_.SetApplicationTrack(session(), false);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), kNoAccess);
  ASSERT_EQ(global_.GetApplicationTrack(session(), ignore), nullptr);
  EXPECT_TRUE(ignore);

  GrantAll();
  ASSERT_EQ(global_.SetApplicationTrack(session(), false), nullptr);
  ASSERT_EQ(global_.GetApplicationTrack(session(), ignore), nullptr);
  EXPECT_FALSE(ignore);

  // Without its settings row the database cannot say; the flag stays.
  Exec("DELETE FROM tblSettings");
  ignore = true;
  e = global_.GetApplicationTrack(session(), ignore);
  ASSERT_NE(e, nullptr);
  EXPECT_NE(e->Message().find("could not find your settings"), std::string::npos);
  EXPECT_TRUE(ignore);
}

KX4_INSTANTIATE_ENGINES(MaintenanceTest);

TEST(ProductVersion, TheMachineWideVersionValueOrEmpty) {
  TempHive hive;
  EXPECT_EQ(DataGlobal().ProductVersion(), "");
  const std::string key = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Kestrix 4.0]\n";
  TempHive::Write(hive.SystemHive(), key + "\"Other\"=\"x\"\n");
  EXPECT_EQ(DataGlobal().ProductVersion(), "");
  TempHive::Write(hive.SystemHive(), key + "\"Version\"=\"4.1.0.14\"\n");
  EXPECT_EQ(DataGlobal().ProductVersion(), "4.1.0.14");
  // A per-user value is not the installed product's.
  TempHive::Write(hive.SystemHive(), "REGEDIT4\n");
  TempHive::Write(hive.UserHive(),
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kestrix 4.0]\n"
                  "\"Version\"=\"9\"\n");
  EXPECT_EQ(DataGlobal().ProductVersion(), "");
}

}  // namespace
}  // namespace kx4::test
