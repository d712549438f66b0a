// What only the embedded engine does: files, read mode, the writers' queue,
// time-outs and its errors in SQL Server's numbering.
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "dataaccess/sqlite/WriterQueue.h"
#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

int32_t NativeOf(const std::function<void()>& f, ado::Connection& c, int32_t* hresult = nullptr) {
  try {
    f();
  } catch (const RuntimeError& e) {
    if (hresult)
      *hresult = e.Number();
    return c.Errors().empty() ? 0 : c.Errors().front().NativeError;
  }
  ADD_FAILURE() << "no error";
  return 0;
}

class SqliteEngine : public ::testing::Test {
 protected:
  TestDatabase db_{Engine::kSqlite};
};

TEST_F(SqliteEngine, DatabaseLivesInThePrivateDataFolder) {
  const std::string folder = std::string(std::getenv("XDG_DATA_HOME")) + "/kestrix";
  struct stat st = {};
  ASSERT_EQ(stat((folder + "/" + db_.Database() + ".db").c_str(), &st), 0);
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_THROW(ado::CreateDatabase(db_.ConnectionString()), RuntimeError);  // exists already
}

TEST_F(SqliteEngine, MissingDatabaseIsAnErrorAndCreatesNothing) {
  ado::Connection c;
  c.SetConnectionString("Provider=SQLOLEDB;Data Source=(LocalDB);Database=nothere;");
  EXPECT_EQ(NativeOf([&] { c.Open(); }, c), 4060);
  EXPECT_EQ(c.State(), ado::adStateClosed);
  const std::string path = std::string(std::getenv("XDG_DATA_HOME")) + "/kestrix/nothere.db";
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  c.SetConnectionString("Provider=SQLOLEDB;Data Source=(localdb);Database=../escape;");
  EXPECT_EQ(NativeOf([&] { c.Open(); }, c), 4060);
}

TEST_F(SqliteEngine, AbsoluteDatabaseNamesTheFile) {
  const std::string path = ScratchFolder() + "/absolute.db";
  const std::string cs = "Provider=SQLOLEDB;Data Source=(localdb);Database=" + path + ";";
  ado::CreateDatabase(cs);
  auto c = std::make_shared<ado::Connection>();
  c->SetConnectionString(cs);
  c->Open();
  EXPECT_EQ(Scalar(c, "SELECT Version FROM tblSettings").ToLong(), 4);
  c->Close();
  ado::DropDatabase(cs);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  EXPECT_NO_THROW(ado::DropDatabase(cs));
}

TEST_F(SqliteEngine, ErrorsCarrySqlServerNumbers) {
  auto c = db_.Connect();
  Execute(c, "INSERT INTO tblUsers (PinCode, Name) VALUES (N'a', N'x')");
  int32_t hresult = 0;
  EXPECT_EQ(
      NativeOf([&] { Execute(c, "INSERT INTO tblUsers (PinCode) VALUES (N'a')"); }, *c, &hresult),
      2601);
  EXPECT_EQ(hresult, ado::kErrIntegrityViolation);
  EXPECT_NE(c->Errors().front().Description.find("UNIQUE constraint failed"), std::string::npos);
  EXPECT_EQ(
      NativeOf([&] { Execute(c, "INSERT INTO tblUsers (UserId, PinCode) VALUES (1, N'b')"); }, *c),
      2627);
  EXPECT_EQ(NativeOf([&] { Execute(c, "SELEC * FROM tblUsers"); }, *c), 102);
  EXPECT_EQ(NativeOf([&] { Execute(c, "SELECT * FROM tblNothing"); }, *c), 208);
  EXPECT_EQ(NativeOf([&] { Execute(c, "SELECT Missing FROM tblUsers"); }, *c), 207);
  EXPECT_EQ(NativeOf([&] { Execute(c, "INSERT INTO tblUsers (Missing) VALUES (1)"); }, *c), 207);
  EXPECT_EQ(NativeOf([&] { Execute(c, "SELECT CAST('not a date' AS smalldatetime)"); }, *c), 241);
  // Neither case (beyond ASCII too) nor trailing blanks make a code unique.
  Execute(c, "INSERT INTO tblValidatedValues (Code) VALUES (N'Müller')");
  EXPECT_EQ(
      NativeOf([&] { Execute(c, "INSERT INTO tblValidatedValues (Code) VALUES (N'MÜLLER ')"); },
               *c),
      2601);
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblValidatedValues WHERE Code = N'müller'").ToLong(),
            1);
  // A failed statement changes nothing and the connection goes on working.
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblUsers").ToLong(), 1);
  EXPECT_TRUE(c->Errors().empty());
}

TEST_F(SqliteEngine, ReadModeRefusesWrites) {
  auto reader = db_.Connect(ado::adModeRead);
  EXPECT_EQ(Scalar(reader, "SELECT COUNT(*) FROM tblSettings").ToLong(), 1);
  EXPECT_EQ(NativeOf([&] { Execute(reader, "UPDATE tblSettings SET MaxBatch = 1"); }, *reader),
            3906);
  EXPECT_NE(reader->Errors().front().Description.find("read-only"), std::string::npos);
  auto writer = db_.Connect();
  EXPECT_EQ(Scalar(writer, "SELECT MaxBatch FROM tblSettings").ToLong(), 0);
}

TEST_F(SqliteEngine, TransactionsCommitAndRollBackTogether) {
  auto c = db_.Connect();
  c->BeginTrans();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'b')");
  c->RollbackTrans();
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblApplications").ToLong(), 0);
  c->BeginTrans();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  EXPECT_THROW(Execute(c, "INSERT INTO tblNothing VALUES (1)"), RuntimeError);
  c->CommitTrans();
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblApplications").ToLong(), 1);
  EXPECT_EQ(NativeOf([&] { c->CommitTrans(); }, *c), 3902);
  // Closing with an open transaction rolls it back.
  c->BeginTrans();
  Execute(c, "DELETE FROM tblApplications");
  c->Close();
  auto d = db_.Connect();
  EXPECT_EQ(Scalar(d, "SELECT COUNT(*) FROM tblApplications").ToLong(), 1);
}

TEST_F(SqliteEngine, AWriterWaitsForTheQueueUpToItsTimeout) {
  auto holder = db_.Connect();
  holder->BeginTrans();
  Execute(holder, "INSERT INTO tblApplications (Name) VALUES (N'held')");
  auto waiter = db_.Connect();
  ado::Command command;
  command.SetCommandText("INSERT INTO tblApplications (Name) VALUES (N'late')");
  command.SetCommandTimeout(1);
  command.SetActiveConnection(waiter);
  const auto start = std::chrono::steady_clock::now();
  int32_t hresult = 0;
  EXPECT_EQ(NativeOf([&] { command.Execute(); }, *waiter, &hresult), 1222);
  EXPECT_EQ(hresult, ado::kErrTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  // Readers are never held up by a writer.
  EXPECT_EQ(Scalar(waiter, "SELECT COUNT(*) FROM tblApplications").ToLong(), 0);
  holder->CommitTrans();
  command.Execute();
  EXPECT_EQ(Scalar(waiter, "SELECT COUNT(*) FROM tblApplications").ToLong(), 2);
}

TEST_F(SqliteEngine, ALongStatementTimesOut) {
  auto c = db_.Connect();
  ado::Command command;
  command.SetCommandText(
      "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT COUNT(*) FROM n");
  command.SetCommandTimeout(1);
  command.SetActiveConnection(c);
  int32_t hresult = 0;
  EXPECT_EQ(NativeOf([&] { command.Execute(); }, *c, &hresult), -2);
  EXPECT_EQ(hresult, ado::kErrTimeout);
}

// The queue serves writers in arrival order and skips holders that died.
TEST(WriterQueue, SkipsAHolderWhoseProcessDied) {
  const std::string path = ScratchFolder() + "/queue.db";
  std::ofstream(path).put('x');
  const pid_t child = fork();
  if (child == 0) {
    ado::sqlite::WriterQueue q;
    if (!q.Open(path) || !q.Acquire(std::chrono::steady_clock::time_point::max()))
      _exit(1);
    _exit(0);  // dies holding its turn
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  ado::sqlite::WriterQueue q;
  ASSERT_TRUE(q.Open(path));
  EXPECT_TRUE(q.Acquire(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
  q.Release();
}

// Four agents record jobs into one file at once: none fails, none is lost.
TEST_F(SqliteEngine, FourProcessesRecordJobsTogether) {
  constexpr int kProcesses = 4;
  constexpr int kJobs = 150;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      int failures = 0;
      try {
        auto c = db_.Connect();
        for (int j = 0; j < kJobs; ++j) {
          try {
            c->BeginTrans();
            Execute(c,
                    "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = 1 AND "
                    "UseQuota = 1",
                    {Currency::FromTicks(100)});
            Execute(c,
                    "INSERT INTO tblPrintJobs (NetworkUser, Pages, Copies, CostPerUnit, "
                    "UnitMeasureId, DatePrinted) VALUES (N'p" +
                        std::to_string(p) + "', 1, 1, ?, 1, GETDATE())",
                    {Currency::FromTicks(100)});
            c->CommitTrans();
          } catch (const RuntimeError&) {
            ++failures;
            try {
              c->RollbackTrans();
            } catch (...) {
            }
          }
        }
      } catch (...) {
        _exit(100);
      }
      _exit(failures > 99 ? 99 : failures);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed transactions in process " << pid;
  }
  auto c = db_.Connect();
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblPrintJobs").ToLong(), kProcesses * kJobs);
  for (int p = 0; p < kProcesses; ++p)
    EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblPrintJobs WHERE NetworkUser = N'p" +
                            std::to_string(p) + "'")
                  .ToLong(),
              kJobs);
}

}  // namespace
}  // namespace kx4::test
