#include <kx4data/Accounting.h>

#include <kx4data/PrintJob.h>
#include <kx4data/ado/Recordset.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "records/AccountingInternal.h"
#include "records/RecordCommon.h"
#include "records/RecordTestSupport.h"
#include "support/ChildProcess.h"

namespace kx4::test {
namespace {

const DateTime kFirstRun = DateTime::FromCivil(2026, 3, 1, 10, 5);

// A run stamped `minutes` after the first one (plus `seconds`).
Accounting RunAt(int minutes, int seconds = 0) {
  return AccountingInternal::StampedAt(kFirstRun.AddSeconds(minutes * 60 + seconds));
}

// Accounted and AccountedOn of one job.
struct State {
  int32_t accounted;
  std::optional<DateTime> on;
  bool operator==(const State&) const = default;
};
void PrintTo(const State& s, std::ostream* os) {
  *os << s.accounted << " on " << (s.on ? s.on->Format("yyyy-MM-dd hh:mm:ss") : "NULL");
}
const State kNotAccounted{kxaNotAccounted, std::nullopt};
State Pending(int minutes) {
  return {kxaPending, kFirstRun.AddSeconds(minutes * 60)};
}
State Exported(int minutes) {
  return {kxaAccounted, kFirstRun.AddSeconds(minutes * 60)};
}

class AccountingTest : public RecordTest {
 protected:
  // A job recorded behind the library's back: printed at 9 o'clock plus
  // `minute`, for ordering.
  int32_t AddJob(const std::string& document, int minute = 0, int32_t user = -1, int32_t value = -1,
                 int32_t unit = kxuPages) {
    Exec(
        "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
        "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
        "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2) "
        "VALUES (" +
            IdOrNullSQL(user) + ", " + IdOrNullSQL(value) +
            ", N'JDoe', NULL, N'Laser 4', N'lpt1:', N'winword.exe', NULL, N'" + document +
            "', 3, 2, 2159, 2794, N'Letter', 1, ?, " + std::to_string(unit) + ", ?, NULL, NULL)",
        {Variant(Currency::Parse("0.05")),
         Variant(DateTime::FromCivil(2026, 2, 27, 9, 0).AddSeconds(minute * 60))});
    return Value("SELECT MAX(PrintJobId) FROM tblPrintJobs").ToLong();
  }
  State StateOf(int32_t job) {
    auto rs = Query(raw(), "SELECT Accounted, AccountedOn FROM tblPrintJobs WHERE PrintJobId = " +
                               std::to_string(job));
    const Variant on = rs->Fields("AccountedOn").Value();
    return {rs->Fields("Accounted").Value().ToLong(),
            on.IsNull() ? std::nullopt : std::optional<DateTime>(on.ToDate())};
  }
  // The documents of GetPendingJobs, in list order.
  std::vector<std::string> PendingDocuments(Accounting& run) {
    std::shared_ptr<ado::Recordset> jobs;
    KXErrorPtr e = run.GetPendingJobs(session(), jobs);
    EXPECT_EQ(e, nullptr) << (e ? e->Message() : "");
    std::vector<std::string> documents;
    if (e)
      return documents;
    for (; !jobs->Eof(); jobs->MoveNext())
      documents.push_back(jobs->Fields("Document").Value().ToString());
    return documents;
  }
  void Succeeds(const KXErrorPtr& e) { EXPECT_EQ(e, nullptr) << (e ? e->Message() : ""); }
  // Marks, lists and confirms, as an export tool does.
  std::vector<std::string> Export(Accounting run) {
    Succeeds(run.MarkJobsAsPending(session()));
    std::vector<std::string> documents = PendingDocuments(run);
    Succeeds(run.MarkJobsAsDone(session()));
    return documents;
  }
};

using Documents = std::vector<std::string>;

TEST_P(AccountingTest, ARunIsStampedWithTheClockWhenCreated) {
  const DateTime before = DateTime::Now();
  Accounting run;
  const DateTime after = DateTime::Now();
  EXPECT_LE(before, run.DateAccounted());
  EXPECT_LE(run.DateAccounted(), after);
  const int32_t job = AddJob("now");
  Succeeds(run.MarkJobsAsPending(session()));
  Succeeds(run.MarkJobsAsDone(session()));
  EXPECT_EQ(StateOf(job).accounted, kxaAccounted);
}

TEST_P(AccountingTest, ARunWithNothingToDo) {
  Accounting empty = RunAt(0);
  EXPECT_EQ(Export(empty), Documents{});

  const int32_t done = AddJob("done");
  EXPECT_EQ(Export(RunAt(1)), Documents{"done"});
  Accounting idle = RunAt(2);
  Succeeds(idle.MarkJobsAsPending(session()));
  std::shared_ptr<ado::Recordset> jobs;
  Succeeds(idle.GetPendingJobs(session(), jobs));
  ASSERT_NE(jobs, nullptr);
  EXPECT_TRUE(jobs->Bof() && jobs->Eof());
  std::vector<std::string> columns;
  for (int32_t i = 0; i < jobs->FieldCount(); ++i)
    columns.push_back(jobs->Fields(i).Name());
  EXPECT_EQ(columns, (Documents{"ValueCode",    "ValueDescription", "UserName",    "NetworkUser",
                                "ComputerName", "ProcessName",      "PrinterName", "PrinterPort",
                                "PaperType",    "Document",         "Pages",       "Copies",
                                "PageWidth",    "PageHeight",       "PaperSize",   "Color",
                                "CostPerUnit",  "UnitMeasureId",    "UnitDesc",    "DatePrinted",
                                "UserOne",      "UserTwo"}));
  Succeeds(idle.MarkJobsAsDone(session()));
  Succeeds(idle.ClearPendingJobs(session()));
  EXPECT_EQ(StateOf(done), Exported(1));
}

TEST_P(AccountingTest, RunsInSequenceEachExportTheirOwnJobs) {
  const int32_t late = AddJob("late", 30);
  const int32_t early = AddJob("early", 10);
  EXPECT_EQ(Export(RunAt(0)), (Documents{"early", "late"}));  // by print time
  EXPECT_EQ(StateOf(early), Exported(0));
  EXPECT_EQ(StateOf(late), Exported(0));

  const int32_t next = AddJob("next", 40);
  EXPECT_EQ(Export(RunAt(1)), Documents{"next"});
  EXPECT_EQ(StateOf(next), Exported(1));
  EXPECT_EQ(StateOf(early), Exported(0));
}

// A run that never finished (a crashed tool) hands its jobs to the next run.
TEST_P(AccountingTest, ARunTakesOverAnUnfinishedRunsJobs) {
  const int32_t left = AddJob("left");
  Accounting crashed = RunAt(0);
  Succeeds(crashed.MarkJobsAsPending(session()));
  EXPECT_EQ(StateOf(left), Pending(0));

  const int32_t newer = AddJob("newer", 5);
  Accounting resumed = RunAt(2);
  Succeeds(resumed.MarkJobsAsPending(session()));
  EXPECT_EQ(StateOf(left), Pending(2));
  // The first run has nothing left to confirm or to hand back.
  Succeeds(crashed.MarkJobsAsDone(session()));
  Succeeds(crashed.ClearPendingJobs(session()));
  EXPECT_EQ(StateOf(left), Pending(2));

  EXPECT_EQ(PendingDocuments(resumed), (Documents{"left", "newer"}));
  Succeeds(resumed.MarkJobsAsDone(session()));
  EXPECT_EQ(StateOf(left), Exported(2));
  EXPECT_EQ(StateOf(newer), Exported(2));
}

TEST_P(AccountingTest, OnlyTheRunThatMarkedTheJobsConfirmsThem) {
  const int32_t job = AddJob("job");
  Accounting run = RunAt(0);
  Succeeds(run.MarkJobsAsPending(session()));
  Accounting other = RunAt(3);
  // Another object lists every pending job, but confirms none of them.
  EXPECT_EQ(PendingDocuments(other), Documents{"job"});
  Succeeds(other.MarkJobsAsDone(session()));
  Succeeds(other.ClearPendingJobs(session()));
  EXPECT_EQ(StateOf(job), Pending(0));

  Succeeds(run.ClearPendingJobs(session()));
  EXPECT_EQ(StateOf(job), kNotAccounted);
  EXPECT_EQ(Export(RunAt(4)), Documents{"job"});
}

// Stamps are kept to the minute (seconds rounded), so runs created within one
// act as one.
TEST_P(AccountingTest, RunsCreatedInTheSameMinuteShareAStamp) {
  const int32_t job = AddJob("job");
  Accounting first = RunAt(0, 40);  // 10:05:40, kept as 10:06
  Succeeds(first.MarkJobsAsPending(session()));
  EXPECT_EQ(StateOf(job), Pending(1));
  Accounting second = RunAt(1, 20);  // 10:06:20
  Succeeds(second.MarkJobsAsDone(session()));
  EXPECT_EQ(StateOf(job), Exported(1));
}

TEST_P(AccountingTest, ClearLastRunUndoesOneRunPerCall) {
  Accounting any = RunAt(9);
  Succeeds(any.ClearLastRun(session()));  // nothing exported yet
  const int32_t first = AddJob("first");
  Export(RunAt(0));
  const int32_t second = AddJob("second");
  Export(RunAt(1));
  const int32_t pending = AddJob("pending");
  Succeeds(RunAt(2).MarkJobsAsPending(session()));

  Succeeds(any.ClearLastRun(session()));
  EXPECT_EQ(StateOf(second), kNotAccounted);
  EXPECT_EQ(StateOf(first), Exported(0));
  Succeeds(any.ClearLastRun(session()));
  EXPECT_EQ(StateOf(first), kNotAccounted);
  Succeeds(any.ClearLastRun(session()));
  EXPECT_EQ(StateOf(pending), Pending(2));
  EXPECT_EQ(Count("tblPrintJobs WHERE Accounted = 0"), 2);
}

TEST_P(AccountingTest, PendingJobsAreListedWithTheJobListsTexts) {
  Exec(
      "INSERT INTO tblUsers (PinCode, Name, Active) VALUES (N'x', N'Jane Roe', 1); "
      "INSERT INTO tblValidatedValues (Code, Description) VALUES (N'PRJ-7', N'Bridge')");
  const int32_t user = Value("SELECT MAX(UserId) FROM tblUsers").ToLong();
  const int32_t value = Value("SELECT MAX(ValidatedId) FROM tblValidatedValues").ToLong();
  AddJob("known", 2, user, value);
  AddJob("anonymous", 1);
  const int32_t lost = AddJob("unknown unit", 3, -1, -1, 9);
  Accounting run = RunAt(0);
  Succeeds(run.MarkJobsAsPending(session()));
  std::shared_ptr<ado::Recordset> jobs;
  Succeeds(run.GetPendingJobs(session(), jobs));
  ASSERT_EQ(jobs->RecordCount(), 2);
  auto text = [&](const char* column) { return jobs->Fields(column).Value().ToString(); };
  EXPECT_EQ(text("Document"), "anonymous");
  EXPECT_EQ(text("ValueCode"), "Unknown");
  EXPECT_EQ(text("ValueDescription"), "Unknown");
  EXPECT_EQ(text("UserName"), "Unknown");
  EXPECT_EQ(text("ComputerName"), "Unknown");
  EXPECT_EQ(text("PaperType"), "<NONE>");
  EXPECT_EQ(text("UserOne"), "<NONE>");
  EXPECT_EQ(text("UserTwo"), "<NONE>");
  EXPECT_EQ(text("NetworkUser"), "jdoe");
  EXPECT_EQ(text("ProcessName"), "WINWORD.EXE");
  EXPECT_EQ(text("PrinterName"), "LASER 4");
  EXPECT_EQ(text("PrinterPort"), "LPT1:");
  EXPECT_EQ(text("UnitDesc"), "Pages");
  EXPECT_EQ(jobs->Fields("CostPerUnit").Value().ToCurrency(), Currency::Parse("0.05"));
  EXPECT_EQ(jobs->Fields("Pages").Value().ToLong(), 3);
  EXPECT_TRUE(jobs->Fields("Color").Value().ToBoolean());
  jobs->MoveNext();
  EXPECT_EQ(text("Document"), "known");
  EXPECT_EQ(text("ValueCode"), "PRJ-7");
  EXPECT_EQ(text("ValueDescription"), "Bridge");
  EXPECT_EQ(text("UserName"), "Jane Roe");
  // Marked all the same: the list joins the units, the marking does not.
  EXPECT_EQ(StateOf(lost), Pending(0));
}

// Jobs recorded after MarkJobsAsPending belong to the next run.
TEST_P(AccountingTest, JobsRecordedDuringARunAreLeftForTheNext) {
  AddJob("before");
  Accounting run = RunAt(0);
  Succeeds(run.MarkJobsAsPending(session()));
  PrintJob job;
  job.SetUnitMeasureId(kxuPages);
  job.SetDocument("during");
  job.SetNetworkUser("jdoe");
  Succeeds(job.Save(session()));
  const int32_t during = Value("SELECT MAX(PrintJobId) FROM tblPrintJobs").ToLong();
  EXPECT_EQ(PendingDocuments(run), Documents{"before"});
  Succeeds(run.MarkJobsAsDone(session()));
  EXPECT_EQ(StateOf(during), kNotAccounted);
  EXPECT_EQ(Export(RunAt(1)), Documents{"during"});
}

TEST_P(AccountingTest, EveryOperationNeedsTheAllDataRight) {
  const int32_t pending = AddJob("pending");
  Accounting run = RunAt(0);
  Succeeds(run.MarkJobsAsPending(session()));
  const int32_t exported = AddJob("exported");
  Exec("UPDATE tblPrintJobs SET Accounted = 2, AccountedOn = ? WHERE PrintJobId = " +
           std::to_string(exported),
       {Variant(kFirstRun)});
  const int32_t fresh = AddJob("fresh");
  SetSwitches(true, true);
  ASSERT_EQ(session().GetAuthorization(), nullptr);  // may record jobs, nothing more

  auto passed = std::make_shared<ado::Recordset>();
  std::shared_ptr<ado::Recordset> jobs = passed;
  for (KXErrorPtr e : {run.ClearLastRun(session()), run.MarkJobsAsPending(session()),
                       run.GetPendingJobs(session(), jobs), run.MarkJobsAsDone(session()),
                       run.ClearPendingJobs(session())}) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
    EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  }
  EXPECT_EQ(jobs, passed);
  EXPECT_EQ(StateOf(pending), Pending(0));
  EXPECT_EQ(StateOf(exported), Exported(0));
  EXPECT_EQ(StateOf(fresh), kNotAccounted);

  // A failed statement leaves the caller's record set too.
  GrantAll();
  Exec("ALTER TABLE tblUnitMeasure RENAME TO tblAway");
  EXPECT_NE(run.GetPendingJobs(session(), jobs), nullptr);
  EXPECT_EQ(jobs, passed);
}

TEST_P(AccountingTest, StatementTexts) {
  Exec("ALTER TABLE tblPrintJobs RENAME TO tblAway");
  ErrorLogWatch log;
  Accounting run = RunAt(0, 7);
  std::shared_ptr<ado::Recordset> jobs;
  EXPECT_NE(run.ClearLastRun(session()), nullptr);
  EXPECT_NE(run.MarkJobsAsPending(session()), nullptr);
  EXPECT_NE(run.GetPendingJobs(session(), jobs), nullptr);
  EXPECT_NE(run.MarkJobsAsDone(session()), nullptr);
  EXPECT_NE(run.ClearPendingJobs(session()), nullptr);
  const std::vector<std::string> entries = LogEntries(log.NewText());
  ASSERT_EQ(entries.size(), 10u);
  const std::string stamp = "CAST('Mar 01, 2026 10:05:07' AS smalldatetime)";
  EXPECT_EQ(entries[1],
            "UPDATE tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 2 AND "
            "AccountedOn = (SELECT MAX(AccountedOn) FROM tblPrintJobs WHERE Accounted = 2)");
  EXPECT_EQ(entries[3], "UPDATE tblPrintJobs SET Accounted = 1, AccountedOn = " + stamp +
                            " WHERE (Accounted = 0 OR Accounted = 1)");
  EXPECT_EQ(entries[5],
            "SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, ISNULL(C.Description, 'Unknown') AS "
            "ValueDescription, ISNULL(R.Name, 'Unknown') AS UserName, LOWER(P.NetworkUser) AS "
            "NetworkUser, ISNULL(P.MachineName, 'Unknown') AS ComputerName, UPPER(P.ProcessName) "
            "AS ProcessName, UPPER(P.PrinterName) As PrinterName, UPPER(P.PrinterPort) AS "
            "PrinterPort, ISNULL(P.PaperType, '<NONE>') AS PaperType, P.Document, P.Pages, "
            "P.Copies, P.PageWidth, P.PageHeight, P.PaperSize, P.Color, P.CostPerUnit, "
            "P.UnitMeasureId, U.ReportDisplay As UnitDesc, P.DatePrinted, ISNULL(P.UserDefined1, "
            "'<NONE>') AS UserOne, ISNULL(P.UserDefined2, '<NONE>') AS UserTwo FROM tblPrintJobs "
            "P LEFT OUTER JOIN tblValidatedValues C ON C.ValidatedId = P.ValidatedId LEFT OUTER "
            "JOIN tblUsers R ON R.UserId = P.UserId INNER JOIN tblUnitMeasure U ON "
            "U.UnitMeasureId = P.UnitMeasureId WHERE P.Accounted = 1 ORDER BY P.DatePrinted");
  EXPECT_EQ(entries[7],
            "UPDATE tblPrintJobs SET Accounted = 2 WHERE Accounted = 1 AND "
            "AccountedOn = " +
                stamp + " ");
  EXPECT_EQ(entries[9],
            "UPDATE tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 1 AND "
            "AccountedOn = " +
                stamp);
}

// Undoing the last run looks up the latest stamp among exported jobs and
// their rows; on a large table neither may read every job.
TEST_P(AccountingTest, ClearLastRunIsServedByAnIndex) {
  const std::string statement =
      "UPDATE tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 2 AND "
      "AccountedOn = (SELECT MAX(AccountedOn) FROM tblPrintJobs WHERE Accounted = 2)";
  std::string plan;
  if (IsSqlite()) {
    auto rs = Query(raw(), "EXPLAIN QUERY PLAN " + statement);
    for (; !rs->Eof(); rs->MoveNext())
      plan += rs->Fields("detail").Value().ToString() + "\n";
    EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
  } else {
    // The planner would scan a table this small whatever its indexes.
    Exec("SET enable_seqscan = off");
    auto rs = Query(raw(), "EXPLAIN " + statement);
    for (; !rs->Eof(); rs->MoveNext())
      plan += rs->Fields(0).Value().ToString() + "\n";
    EXPECT_EQ(plan.find("Seq Scan"), std::string::npos) << plan;
  }
  EXPECT_NE(plan.find("ccounted"), std::string::npos) << plan;  // the index on Accounted
}

// One exporting process while agents record jobs: every job recorded before
// a run marks its jobs is exported by that run, exactly once; jobs recorded
// after the marking stay for a later run.
TEST_P(AccountingTest, AnExportWhileAgentsRecordExportsEveryJobOnce) {
  constexpr int kAgents = 2;
  constexpr int kJobsEach = 150;
  std::vector<int32_t> users;
  for (int i = 0; i < kAgents; ++i) {
    Exec("INSERT INTO tblUsers (PinCode, Name, Active) VALUES (N'pin" + std::to_string(i) +
         "', N'Agent " + std::to_string(i) + "', 1)");
    users.push_back(Value("SELECT MAX(UserId) FROM tblUsers").ToLong());
  }
  // Jobs by "user name/document", which the pending list also shows.
  auto not_accounted = [&] {
    std::set<std::string> keys;
    auto rs = Query(raw(),
                    "SELECT R.Name, P.Document FROM tblPrintJobs P INNER JOIN tblUsers R ON "
                    "R.UserId = P.UserId WHERE P.Accounted = 0");
    for (; !rs->Eof(); rs->MoveNext())
      keys.insert(rs->Fields(0).Value().ToString() + "/" + rs->Fields(1).Value().ToString());
    return keys;
  };

  std::atomic<int> running{kAgents};
  std::vector<ChildResult> results(kAgents);
  std::vector<std::thread> agents;
  for (int i = 0; i < kAgents; ++i) {
    agents.emplace_back([&, i] {
      results[i] =
          RunChild({KX4_JOB_WRITER, std::to_string(users[i]), std::to_string(kJobsEach), "0.01"});
      --running;
    });
  }
  std::set<std::string> exported;
  int runs = 0;
  bool last = false;
  while (!last) {
    last = running == 0;  // one more run after the agents are done
    const std::set<std::string> before = not_accounted();
    Accounting run = RunAt(runs++);
    Succeeds(run.MarkJobsAsPending(session()));
    const std::set<std::string> after = not_accounted();
    std::shared_ptr<ado::Recordset> jobs;
    Succeeds(run.GetPendingJobs(session(), jobs));
    std::set<std::string> listed;
    for (; jobs && !jobs->Eof(); jobs->MoveNext()) {
      const std::string key = jobs->Fields("UserName").Value().ToString() + "/" +
                              jobs->Fields("Document").Value().ToString();
      EXPECT_TRUE(listed.insert(key).second) << key << " listed twice";
      EXPECT_FALSE(exported.count(key)) << key << " exported before";
      EXPECT_FALSE(after.count(key)) << key << " recorded after the marking";
    }
    for (const std::string& key : before)
      EXPECT_TRUE(listed.count(key)) << key << " recorded before the marking, not exported";
    Succeeds(run.MarkJobsAsDone(session()));
    exported.insert(listed.begin(), listed.end());
  }
  for (std::thread& agent : agents)
    agent.join();
  for (const ChildResult& r : results)
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(exported.size(), static_cast<size_t>(kAgents * kJobsEach));
  EXPECT_EQ(Count("tblPrintJobs WHERE Accounted = 2"), kAgents * kJobsEach);
  RecordProperty("runs", runs);
}

KX4_INSTANTIATE_ENGINES(AccountingTest);

}  // namespace
}  // namespace kx4::test
