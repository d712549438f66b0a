// A host program built against the public headers and libkx4data.so alone:
// it runs the examples of docs/api.md on both engines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "ApiExamples.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Hives, the error log and embedded databases in a folder of the test's own.
class HostProgram : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (IsPostgres()) {
      if (Env("KX4_TEST_PGHOST").empty()) {
        if (Env("CI") == "true")
          FAIL() << "KX4_TEST_PGHOST is not set: the PostgreSQL tests need the server that "
                    "scripts/test starts";
        GTEST_SKIP() << "*** PostgreSQL tests SKIPPED: KX4_TEST_PGHOST is not set ***";
      }
      server_ = Env("KX4_TEST_PGHOST");
      if (!Env("KX4_TEST_PGPORT").empty())
        server_ += "," + Env("KX4_TEST_PGPORT");
    } else {
      server_ = "(localdb)";
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "kx4host.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    for (const char* sub : {"hive", "log", "data"})
      std::filesystem::create_directory(folder_ / sub);
    ::setenv("KX4_HIVE_DIR", (folder_ / "hive").c_str(), 1);
    ::setenv("KX4_LOG_DIR", (folder_ / "log").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
    database_ = IsPostgres() ? "kx4host_" + std::to_string(::getpid()) : "Tracking";
    ASSERT_EQ(SetUpDatabase(server_, database_), 0);
  }
  void TearDown() override {
    if (!database_.empty()) {
      kx4::ConnectionSettings settings;
      settings.Load(false);
      kx4::ado::DropDatabase(settings.BuildConnectionString());
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  bool IsPostgres() const { return GetParam(); }

  std::string server_;
  std::string database_;
  std::filesystem::path folder_;
};

TEST_P(HostProgram, RecordsAJobAndListsIt) {
  kx4::KXData admin;
  ASSERT_EQ(Report(OpenSession(admin, "")), 0);
  int32_t id = 0;
  ASSERT_EQ(Report(AddUser(admin, "Jo Doe", "4711", id)), 0);

  ASSERT_EQ(RecordForPin("4711", "Budget.xlsx"), 0);
  ASSERT_EQ(Report(RecordJob(admin, id, "Minutes.docx", 12)), 0);
  std::ostringstream listed;
  ASSERT_EQ(Report(ListJobs("jdoe", listed)), 0);
  EXPECT_EQ(listed.str(), "Budget.xlsx, 1 pages at 0.05\nMinutes.docx, 12 pages at 0.05\n");
  std::ostringstream counted;
  ASSERT_EQ(Report(CountJobs(admin, "LASER", kx4::DateTime::Now().AddDays(-1), counted)), 0);
  EXPECT_EQ(counted.str(), "2 jobs, 13 pages\n");

  // Both jobs were charged to the PIN's owner.
  kx4::User user;
  ASSERT_EQ(Report(user.Load(admin, id)), 0);
  EXPECT_EQ(user.QuotaRemaining(), kx4::Currency::Parse("9.35"));
}

TEST_P(HostProgram, ExportsEachJobOnce) {
  kx4::KXData admin;
  ASSERT_EQ(Report(OpenSession(admin, "")), 0);
  int32_t id = 0;
  ASSERT_EQ(Report(AddUser(admin, "Jo Doe", "4711", id)), 0);
  ASSERT_EQ(Report(RecordJob(admin, id, "Minutes.docx", 12)), 0);
  std::ostringstream first, second;
  ASSERT_EQ(Report(ExportJobs(admin, first)), 0);
  EXPECT_EQ(first.str(), "Jo Doe, Minutes.docx, 12\n");
  ASSERT_EQ(Report(ExportJobs(admin, second)), 0);
  EXPECT_EQ(second.str(), "");

  // A failed write leaves the jobs for the next run.
  ASSERT_EQ(Report(RecordJob(admin, -1, "Budget.xlsx", 2)), 0);
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_NE(ExportJobs(admin, broken), nullptr);
  std::ostringstream retried;
  ASSERT_EQ(Report(ExportJobs(admin, retried)), 0);
  EXPECT_EQ(retried.str(), "Unknown, Budget.xlsx, 2\n");
}

TEST_P(HostProgram, ReportsErrorsAndFailedCalls) {
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RecordForPin("0000", "Unknown.pdf"), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unknown PIN code.\n");

  // A session that never authorised may do nothing, and says so.
  kx4::KXData session;
  ASSERT_EQ(session.EstablishConnection(kx4::Variant(true)), nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Report(RecordJob(session, -1, "Refused.pdf", 1)), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "You do not have the proper access to execute this method. (class 0, number 0)\n");

  // Settings that do not connect leave the session as it was.
  const std::string info = session.DatabaseInfo();
  kx4::KXErrorPtr error = SwitchDatabase(session, database_ + "_missing");
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->KXErrorNumber(), kx4::erDatabaseConnection);
  EXPECT_EQ(session.DatabaseInfo(), info);

  kx4::KXData reader;
  reader.SetReadOnly(true);
  ASSERT_EQ(reader.EstablishConnection(kx4::Variant(true)), nullptr);
  ASSERT_EQ(reader.GetAuthorization(), nullptr);
  std::shared_ptr<kx4::ado::Recordset> rows;
  ASSERT_EQ(reader.ExecuteReportSQL(rows, "SELECT Version FROM tblSettings"), nullptr);
  EXPECT_TRUE(HasField(*rows, "version"));
  EXPECT_FALSE(HasField(*rows, "Nonesuch"));
  rows->Close();
  EXPECT_THROW(HasField(*rows, "Version"), kx4::RuntimeError);
}

INSTANTIATE_TEST_SUITE_P(Engines, HostProgram, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Postgres" : "Sqlite";
                         });

}  // namespace
