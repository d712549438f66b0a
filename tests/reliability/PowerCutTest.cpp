// Simulated power cuts under the embedded engine (PowerCutVfs.h says what the
// simulation can and cannot show).  CI runs 10 cuts; KX4_RELIABILITY_ROUNDS
// sets the long run.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "reliability/Harness.h"
#include "reliability/JobLedger.h"
#include "reliability/PowerCutVfs.h"
#include "reliability/Workload.h"
#include "session/SessionSupport.h"
#include "support/TempDir.h"

namespace kx4::reliability {
namespace {

// In a child: a table made durable, then `rows` committed rows under
// `synchronous`, then the cut.  Returns how many rows the file holds after.
int RowsAfterCut(const test::TempDir& folder, CutMode mode, const char* synchronous, int rows,
                 std::string& integrity) {
  const std::string path = folder / (std::string("cut") + synchronous + ".db");
  const pid_t pid = ::fork();
  if (pid == 0) {
    CutPlan plan;
    plan.mode = mode;
    plan.seed = 7;
    sqlite3* db = nullptr;
    if (!InstallPowerCutVfs(plan) || sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db,
                     "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; "
                     "CREATE TABLE t (n INTEGER, pad TEXT)",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
      ::_exit(1);
    const std::string unsafe = std::string("PRAGMA synchronous=") + synchronous;
    sqlite3_exec(db, unsafe.c_str(), nullptr, nullptr, nullptr);
    for (int i = 0; i < rows; ++i) {
      const std::string insert =
          "INSERT INTO t VALUES (" + std::to_string(i) + ", printf('%.3000c', 'x'))";
      if (sqlite3_exec(db, insert.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        ::_exit(2);
    }
    CutPower();
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kPowerCutExit) << status;
  sqlite3* db = nullptr;
  int count = -1;
  if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM t", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      count = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  integrity = SqliteIntegrity(path);
  return count;
}

// The harness proves nothing unless it loses what a real disk would lose.
TEST(PowerCutVfs, LosesUnsyncedCommitsAndKeepsSyncedOnes) {
  for (CutMode mode : {CutMode::kDropAll, CutMode::kKeepSome, CutMode::kTear}) {
    SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)));
    test::TempDir folder;
    std::string integrity;
    EXPECT_EQ(RowsAfterCut(folder, mode, "FULL", 40, integrity), 40);
    EXPECT_EQ(integrity, "ok");
    const int unsynced = RowsAfterCut(folder, mode, "OFF", 40, integrity);
    EXPECT_EQ(integrity, "ok");
    if (mode == CutMode::kDropAll)
      EXPECT_EQ(unsynced, 0);
    else
      EXPECT_LT(unsynced, 40);  // some frames kept, but the chain breaks early
  }
}

// Where the cut landed, from the child's last words: "sync of the
// database", "write of the -wal file", ...
std::string Landing(const std::string& err, const std::string& database) {
  const size_t at = err.find("power cut in place of a ");
  if (at == std::string::npos)
    return "nothing";
  std::string line = err.substr(at + 24, err.find('\n', at) - at - 24);
  const size_t path = line.find(database);
  if (path != std::string::npos) {
    const std::string suffix = line.substr(path + database.size());
    line = line.substr(0, path) + (suffix.empty() ? "the database" : "the " + suffix + " file");
  }
  return line;
}

TEST(PowerCut, EverySavedJobSurvivesACut) {
  test::TestDatabase db(test::Engine::kSqlite);
  test::StoreSettingsFor(db);
  JobLedger ledger;
  {
    auto setup = db.Connect();
    ledger.AddUser(setup, true, "1000");
    ledger.AddUser(setup, true, "2");
    ledger.AddUser(setup, false, "20");
  }
  const std::vector<int32_t> users = ledger.ChildUsers();

  Chance chance("PowerCut");
  const int rounds = Rounds(10);
  int before_connected = 0;
  std::map<std::string, int> landed;  // "write of the -wal file", ...
  for (int run = 0; run < rounds; ++run) {
    const int mode = run % 3;
    // Mostly within the first jobs; one cut in five after enough of them for
    // the log to reach its checkpoint.
    const int at = chance.OneIn(5) ? chance.Between(1, 8000) : chance.Between(1, 400);
    std::vector<std::string> argv = {
        KX4_CRASH_CHILD,    "powercut",           std::to_string(run),
        std::to_string(at), std::to_string(mode), std::to_string(chance.Between(0, 1 << 30))};
    for (int32_t user : users)
      argv.push_back(std::to_string(user));
    const test::ChildResult child = test::RunChild(argv);
    ASSERT_EQ(child.status, kPowerCutExit) << "round " << run << ": " << child.err;
    if (Reported(child.out, 'C').empty())
      ++before_connected;
    ledger.Saved(Reported(child.out, 'J'));
    ++landed[Landing(child.err, SqlitePath(db))];

    SCOPED_TRACE("round " + std::to_string(run) + ", cut at operation " + std::to_string(at) +
                 " in mode " + std::to_string(mode));
    ASSERT_EQ(SqliteIntegrity(SqlitePath(db)), "ok");
    // A connection of its own each round, closed before the next cut, as a
    // power cut would leave none open either; read-only, so that closing it
    // does not checkpoint the log the next child writes to.
    ASSERT_EQ(ledger.Check(db.Connect(ado::adModeRead)), "");
  }
  Figures("power-cut-sqlite", "cuts=" + std::to_string(rounds) +
                                  " before-connected=" + std::to_string(before_connected) +
                                  " jobs-saved=" + std::to_string(ledger.SavedCount()) +
                                  " jobs-stored=" + std::to_string(ledger.StoredCount()));
  for (const auto& [where, count] : landed)
    Figures("power-cut-sqlite", "in-place-of=\"" + where + "\" cuts=" + std::to_string(count));
  EXPECT_GT(ledger.SavedCount(), 0u);
}

}  // namespace
}  // namespace kx4::reliability
