// What only the embedded engine does: files, the catalogue, the writers'
// queue and its own errors.  What every engine does is in EngineContract*.
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
  EXPECT_EQ(NativeOf([&] { Execute(c, "INSERT INTO tblUsers (PinCode) VALUES (N'a')"); }, *c),
            2601);
  EXPECT_NE(c->Errors().front().Description.find("UNIQUE constraint failed"), std::string::npos);
  EXPECT_EQ(
      NativeOf([&] { Execute(c, "INSERT INTO tblUsers (UserId, PinCode) VALUES (1, N'b')"); }, *c),
      2627);
  EXPECT_EQ(NativeOf([&] { Execute(c, "SELECT CAST('not a date' AS smalldatetime)"); }, *c), 241);
  // Neither case (beyond ASCII too) nor trailing blanks make a code unique.
  Execute(c, "INSERT INTO tblValidatedValues (Code) VALUES (N'Müller')");
  EXPECT_EQ(
      NativeOf([&] { Execute(c, "INSERT INTO tblValidatedValues (Code) VALUES (N'MÜLLER ')"); },
               *c),
      2601);
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblValidatedValues WHERE Code = N'müller'").ToLong(),
            1);
}

// Without the declared types of its columns the engine would write flags and
// money unconverted: a catalogue it cannot read refuses the connection.
TEST_F(SqliteEngine, ACatalogueThatCannotBeReadRefusesTheConnection) {
  {
    auto c = db_.Connect();
    Execute(c, "PRAGMA writable_schema = ON");
    Execute(c,
            "INSERT INTO sqlite_schema (type, name, tbl_name, rootpage, sql) VALUES ('table', "
            "'tblOdd', 'tblOdd', 0, 'CREATE VIRTUAL TABLE tblOdd USING kx4_no_such_module(x)')");
  }
  ado::Connection c;
  c.SetConnectionString(db_.ConnectionString());
  EXPECT_THROW(c.Open(), RuntimeError);
  ASSERT_FALSE(c.Errors().empty());
  EXPECT_NE(c.Errors().front().Description.find("kx4_no_such_module"), std::string::npos);
  EXPECT_EQ(c.State(), ado::adStateClosed);
}

TEST_F(SqliteEngine, DropReportsWhatItCannotRemove) {
  const std::string path = ScratchFolder() + "/undroppable.db";
  const std::string cs = "Provider=SQLOLEDB;Data Source=(localdb);Database=" + path + ";";
  ado::CreateDatabase(cs);
  ASSERT_EQ(::mkdir((path + "-journal").c_str(), 0700), 0);  // unlink() refuses a folder
  try {
    ado::DropDatabase(cs);
    ADD_FAILURE() << "dropped";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find(path + "-journal"), std::string::npos) << e.what();
  }
  // Everything else went; once the obstacle is gone a drop succeeds.
  EXPECT_NE(access(path.c_str(), F_OK), 0);
  ::rmdir((path + "-journal").c_str());
  EXPECT_NO_THROW(ado::DropDatabase(cs));
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
