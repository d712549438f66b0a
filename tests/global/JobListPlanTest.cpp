// The job list's filters on a table large enough for plans to matter: each
// filter that selects a small share of the jobs must reach them through an
// index, never by reading the whole job table.
#include <kx4data/DataGlobal.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>
#include <kx4data/User.h>
#include <kx4data/ado/Recordset.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/RawEngines.h"
#include "dataaccess/Engine.h"
#include "global/JobRows.h"
#include "records/RecordTestSupport.h"
#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

constexpr int kKinds = 40;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}  // each filter below selects one kind: 2.5% of the jobs

Variant Filter(size_t index, Variant value) {
  std::vector<Variant> elements(8, Variant::Null());
  elements[index] = std::move(value);
  return Variant(VariantArray(std::move(elements)));
}

// Lower case without underscores, so that both engines' index names compare:
// ixPrintJobsPrinterName and ix_tblprintjobs_printername hold "printjobsprintername".
std::string Plain(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '_')
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct PlanCase {
  const char* what;
  Variant filters;
  std::vector<const char*> indexes;  // plain names the plan must use
};

class JobListPlanTest : public AdministeredSessionTest {
 protected:
  void SetUp() override {
    AdministeredSessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    // One job of each kind, every text and key its own, then copied until
    // there are 10,240 jobs.
    for (int k = 0; k < kKinds; ++k) {
      const std::string n = std::to_string(100 + k);
      Exec("INSERT INTO tblUsers (PinCode, Name, Active) VALUES (N'pin" + n + "', N'User " + n +
           "', 1)");
      Exec("INSERT INTO tblValidatedValues (Code, Description) VALUES (N'C" + n + "', N'Code')");
      InsertJob(raw(),
                {.document = "d" + n,
                 .printed = DateTime::FromCivil(2026, 1, 1).AddDays(k),
                 .user_id = Value("SELECT MAX(UserId) FROM tblUsers").ToLong(),
                 .validated_id = Value("SELECT MAX(ValidatedId) FROM tblValidatedValues").ToLong(),
                 .network_user = "net" + n,
                 .printer = "Printer " + n,
                 .port = "PORT_" + n,
                 .user_one = "Cost " + n,
                 .user_two = "Matter " + n});
    }
    const std::string columns =
        "UserId, ValidatedId, NetworkUser, MachineName, PrinterName, PrinterPort, ProcessName, "
        "PaperType, Document, Pages, Copies, PageWidth, PageHeight, PaperSize, Color, "
        "CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2";
    for (int doubling = 0; doubling < 8; ++doubling)
      Exec("INSERT INTO tblPrintJobs (" + columns + ") SELECT " + columns + " FROM tblPrintJobs");
    Exec("ANALYZE");
  }

  // The statement the list runs for `filters`, as the error log shows it
  // when the list fails for a table renamed away.
  std::string StatementOf(const Variant& filters) {
    ErrorLogWatch log;
    Exec("ALTER TABLE tblUnitMeasure RENAME TO tblAway");
    std::shared_ptr<ado::Recordset> rs;
    const bool failed = global_.GetJobList(session(), rs, filters) != nullptr;
    Exec("ALTER TABLE tblAway RENAME TO tblUnitMeasure");
    EXPECT_TRUE(failed);
    const std::vector<std::string> entries = LogEntries(log.NewText());
    return entries.size() >= 2 ? entries[1] : std::string();
  }

  // The plan of `statement` as the engine translates it, one line per step,
  // `params` bound to its markers.  Read through the engine's own client
  // library: the engines translate no EXPLAIN.
  std::string Plan(const std::string& statement, const std::vector<std::string>& params) {
    std::string plan;
    if (IsSqlite()) {
      bench::RawSqlite native(
          ado::SqliteEngine().Location(ado::ConnectionOptions::Parse(db().ConnectionString())));
      const bench::RawRows rows =
          native.Fetch("EXPLAIN QUERY PLAN " + native.Translate(statement), params);
      const bench::RawColumn& detail = rows.columns.at(3);
      for (size_t r = 0, begin = 0; r < rows.rows; begin = detail.ends[r++])
        plan += detail.text.substr(begin, detail.ends[r] - begin) + "\n";
    } else {
      bench::RawPostgres native(Env("KX4_TEST_PGHOST"), Env("KX4_TEST_PGPORT"), db().Database());
      // So small a table a planner would read whole whatever its indexes;
      // the question here is whether one can serve the filter.
      native.Exec("SET enable_seqscan = off");
      plan = native.Explain(native.Translate(statement), params);
    }
    return plan;
  }

  void ExpectServedByIndexes(const PlanCase& c, const std::vector<std::string>& values = {}) {
    const std::string statement = StatementOf(c.filters);
    ASSERT_FALSE(statement.empty()) << c.what;
    const std::string plan = Plan(statement, values);
    const std::string plain = Plain(plan);
    // SQLite reads a table whole in a "SCAN" step; PostgreSQL in a "Seq Scan".
    if (IsSqlite())
      EXPECT_EQ(plan.find("SCAN P"), std::string::npos) << c.what << "\n" << plan;
    else
      EXPECT_EQ(plain.find("seq scan on tblprintjobs"), std::string::npos) << c.what << "\n"
                                                                           << plan;
    for (const char* index : c.indexes)
      EXPECT_NE(plain.find(index), std::string::npos) << c.what << ": " << index << "\n" << plan;
    // And the list is right: one kind's jobs.
    std::shared_ptr<ado::Recordset> rs;
    ASSERT_EQ(global_.GetJobList(session(), rs, c.filters), nullptr);
    EXPECT_EQ(rs->RecordCount(), 256) << c.what;
  }

  DataGlobal global_;
};

TEST_P(JobListPlanTest, EverySingleFilterIsServedByAnIndex) {
  const Variant day = Variant(DateTime::FromCivil(2026, 1, 8));
  std::vector<Variant> days(8, Variant::Null());
  days[3] = day;
  days[4] = day;
  const std::string code =
      Value("SELECT ValidatedId FROM tblValidatedValues WHERE Code = N'C107'").ToString();
  const std::vector<PlanCase> cases = {
      {"billing code", Filter(0, Variant(code)), {"printjobsvalidatedid"}},
      {"printer name prefix",
       Filter(1, Variant("printer 107")),
       {"printjobsprintername", "printjobsprinterport"}},
      {"printer port prefix",
       Filter(1, Variant("port_107")),
       {"printjobsprintername", "printjobsprinterport"}},
      {"network user prefix", Filter(2, Variant("NET107")), {"printjobsnetworkuser"}},
      {"one day", Variant(VariantArray(days)), {"printjobsdateprinted"}},
      {"user name prefix", Filter(5, Variant("user 107")), {"usersname", "printjobsuserid"}},
      {"user field 1 prefix", Filter(6, Variant("cost 107")), {"printjobsuserdefined1"}},
      {"user field 2 prefix", Filter(7, Variant("MATTER 107")), {"printjobsuserdefined2"}},
  };
  for (const PlanCase& c : cases)
    ExpectServedByIndexes(c);
}

TEST_P(JobListPlanTest, AnOwnDataReporterIsServedByTheIndexOnUsers) {
  Exec("UPDATE tblUsers SET PinCode = NULL WHERE Name = N'User 107'");
  User user;
  ASSERT_EQ(
      user.Load(session(), Value("SELECT UserId FROM tblUsers WHERE Name = N'User 107'").ToLong()),
      nullptr);
  user.SetPinCode("1077");
  user.SetReportSecurity(kxrOwnData);
  ASSERT_EQ(user.Save(session()), nullptr);
  SetSwitches(false, true);
  ASSERT_EQ(session().GetAuthorization("1077"), nullptr);
  const std::string pin = Value("SELECT PinCode FROM tblUsers WHERE Name = N'User 107'").ToString();
  ExpectServedByIndexes({"own data", Variant(), {"userspincode", "printjobsuserid"}}, {pin});
}

KX4_INSTANTIATE_ENGINES(JobListPlanTest);

}  // namespace
}  // namespace kx4::test
