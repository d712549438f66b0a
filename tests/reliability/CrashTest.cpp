// A child process is killed with SIGKILL at random moments, some while it is
// still connecting, and after every kill the stores it was writing must be
// whole and hold everything it was told had been written.
//
// CI runs 10 rounds per store; KX4_RELIABILITY_ROUNDS=100 is the long run
// (docs/reliability.md).
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "registry/Hive.h"
#include "registry/HiveFile.h"
#include "registry/Registry.h"
#include "reliability/Harness.h"
#include "reliability/JobLedger.h"
#include "reliability/Workload.h"
#include "session/SessionSupport.h"
#include "support/TempDir.h"

namespace kx4::reliability {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr const char* kExportedCount = "SELECT COUNT(*) FROM tblPrintJobs WHERE Accounted = 2";

class JobsCrash : public test::EngineTest {
 protected:
  // On PostgreSQL the killed client's server process ends on its own a moment
  // later; until it has, its last transaction may still be committing.
  void AwaitOtherSessionsGone() {
    if (IsSqlite())
      return;
    for (int i = 0; i < 1000; ++i) {
      if (test::Scalar(raw_,
                       "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = current_database() "
                       "AND pid <> pg_backend_pid()")
              .ToLong() == 0)
        return;
      std::this_thread::sleep_for(milliseconds(10));
    }
    FAIL() << "the killed writer's server process did not end";
  }

  std::shared_ptr<ado::Connection> raw_;
};

// Jobs with quotas, configuration saves and accounting runs, killed at
// random; then the runs a crashed tool would need to finish: a run that takes
// over what the kills left pending, ClearLastRun, and the run repeated.
TEST_P(JobsCrash, EverySavedJobSurvivesAKillOnceWithItsChargeAndIsExportedOnce) {
  test::StoreSettingsFor(db());
  raw_ = Connect();
  JobLedger ledger;
  ledger.AddUser(raw_, true, "1000");
  ledger.AddUser(raw_, true, "0.5");  // goes below zero: nothing stops it
  ledger.AddUser(raw_, false, "20");
  std::string configurations;
  for (int i = 0; i < 2; ++i)
    configurations += (i ? "," : "") + std::to_string(ledger.AddConfiguration(raw_));
  const std::vector<int32_t> users = ledger.ChildUsers();

  Chance chance("JobsCrash");
  const int rounds = Rounds(10);
  int before_connected = 0;
  for (int run = 0; run < rounds; ++run) {
    // One kill in three lands in the first milliseconds: start-up, loading
    // the settings, connecting.
    const int delay_us = chance.OneIn(3) ? chance.Between(0, 15000) : chance.Between(15000, 400000);
    std::vector<std::string> argv = {KX4_CRASH_CHILD, "jobs", std::to_string(run), configurations};
    for (int32_t user : users)
      argv.push_back(std::to_string(user));
    const test::ChildResult child = RunAndKill(argv, microseconds(delay_us));
    ASSERT_EQ(child.status, -SIGKILL) << "round " << run << ": " << child.err;
    if (Reported(child.out, 'C').empty())
      ++before_connected;
    ledger.Child(child.out);

    AwaitOtherSessionsGone();
    if (IsSqlite()) {
      ASSERT_EQ(SqliteIntegrity(SqlitePath(db())), "ok") << "round " << run;
    }
    const std::string problems = ledger.Check(raw_);
    ASSERT_EQ(problems, "") << "round " << run << ", killed after " << delay_us << " us";
  }

  auto finish = [&](const char* mode, bool all_exported) {
    const test::ChildResult child = test::RunChild({KX4_CRASH_CHILD, mode, "0"});
    ASSERT_EQ(child.status, 0) << mode << ": " << child.err;
    ledger.Child(child.out);
    ASSERT_EQ(ledger.Check(raw_, all_exported), "") << mode;
  };
  finish("account", true);
  const int32_t exported_before = test::Scalar(raw_, kExportedCount).ToLong();
  finish("clear", false);
  EXPECT_LT(test::Scalar(raw_, kExportedCount).ToLong(), exported_before);
  finish("account", true);

  Figures(std::string("crash-jobs-") + (IsSqlite() ? "sqlite" : "postgres"),
          "kills=" + std::to_string(rounds) +
              " before-connected=" + std::to_string(before_connected) +
              " jobs-saved=" + std::to_string(ledger.SavedCount()) +
              " jobs-stored=" + std::to_string(ledger.StoredCount()) +
              " export-runs=" + std::to_string(ledger.ExportRuns()) +
              " configuration-saves=" + std::to_string(ledger.ConfigurationSaves()));
  EXPECT_GT(ledger.SavedCount(), 0u);
}

KX4_INSTANTIATE_ENGINES(JobsCrash);

// The temporaries a hive writer leaves behind when killed.
int HiveTemporaries(const std::string& folder) {
  int count = 0;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir))
      count += std::string(entry->d_name).rfind("user.reg.tmp", 0) == 0 ? 1 : 0;
    ::closedir(dir);
  }
  return count;
}

std::string TextOf(const registry::HiveValue& value) {
  std::string text(value.data.begin(), value.data.end());
  if (!text.empty() && text.back() == '\0')
    text.pop_back();
  return text;
}

TEST(HiveCrash, AKilledWriterLeavesTheOldOrTheNewHive) {
  const registry::HiveLocation location = registry::LocateHive(registry::HiveKind::kUser);
  Chance chance("HiveCrash");
  const int rounds = Rounds(10);
  std::map<std::string, std::string> expected;  // slot -> data of the last reported write
  int last = -1;                                // the last reported sequence number
  int writes_unreported = 0;
  for (int run = 0; run < rounds; ++run) {
    const int delay_us = chance.Between(0, 150000);
    const test::ChildResult child =
        RunAndKill({KX4_CRASH_CHILD, "hive", std::to_string(run), std::to_string(last + 1)},
                   microseconds(delay_us));
    ASSERT_EQ(child.status, -SIGKILL) << "round " << run << ": " << child.err;
    for (const std::string& key : Reported(child.out, 'H')) {
      const int seq = std::atoi(key.c_str());
      ASSERT_EQ(seq, last + 1);
      last = seq;
      expected[HiveSlot(seq)] = HiveData(seq);
    }

    SCOPED_TRACE("round " + std::to_string(run) + ", killed after " + std::to_string(delay_us) +
                 " us");
    ASSERT_EQ(registry::VerifyHive(registry::HKEY_CURRENT_USER), registry::ERROR_SUCCESS);
    registry::Hive hive(registry::HiveKind::kUser);
    registry::ParseError error;
    ASSERT_TRUE(hive.Parse(test::ReadFile(location.path), &error))
        << "line " << error.line << ": " << error.reason;
    EXPECT_LE(HiveTemporaries(location.directory), 1);
    if (last < 0)
      continue;
    const registry::HiveKey* key = hive.Find({"Software", "Kestrix 4.0", "Crash"});
    ASSERT_NE(key, nullptr);
    // The write after the last reported one may have finished unreported.
    const std::string next_slot = HiveSlot(last + 1);
    for (const auto& [slot, data] : expected) {
      const registry::HiveValue* value = key->FindValue(slot);
      ASSERT_NE(value, nullptr) << slot;
      if (slot == next_slot && TextOf(*value) == HiveData(last + 1)) {
        ++writes_unreported;
        continue;
      }
      EXPECT_EQ(TextOf(*value), data) << slot;
    }
  }
  Figures("crash-hive", "kills=" + std::to_string(rounds) +
                            " writes-reported=" + std::to_string(last + 1) +
                            " written-unreported=" + std::to_string(writes_unreported));
}

// The log as the harness's children write it: whole entries, and entries
// cut short by a kill, each where a child was killed.
struct LogWalk {
  std::set<std::pair<int, int>> whole;  // run, sequence number
  int torn = 0;                         // cut short, with an entry after it
  bool last_torn = false;
  size_t last_entry = 0;  // where the last entry starts
  std::string problem;
};

// How many bytes at `at` are the start of the entry found there (a kill may
// have cut even its header), and whether that is all of it.
size_t EntryPrefix(const std::string& log, size_t at, bool& whole, bool& line_ended,
                   std::pair<int, int>& id) {
  whole = line_ended = false;
  if (std::sscanf(log.c_str() + at, "\"E%d.%d ", &id.first, &id.second) == 2) {
    const std::string record = "\"" + LogText(id.first, id.second) + "\"\r\n";
    const size_t same =
        static_cast<size_t>(std::mismatch(record.begin(), record.end(),
                                          log.begin() + static_cast<ptrdiff_t>(at), log.end())
                                .first -
                            record.begin());
    whole = same == record.size();
    line_ended = same >= 1 && record[same - 1] == '\n';
    return same;
  }
  size_t end = at + 1;
  while (end < log.size() &&
         (std::isdigit(static_cast<unsigned char>(log[end])) || log[end] == 'E' || log[end] == '.'))
    ++end;
  return end - at;
}

void WalkLog(const std::string& log, size_t kill_end, LogWalk& walk) {
  size_t at = 0;
  while (at < log.size()) {
    walk.last_entry = at;
    if (log[at] != '"') {
      walk.problem = "an entry does not start with a quotation mark at byte " + std::to_string(at);
      return;
    }
    bool whole, line_ended;
    std::pair<int, int> id;
    at += EntryPrefix(log, at, whole, line_ended, id);
    walk.last_torn = !whole;
    if (whole) {
      walk.whole.insert(id);
      continue;
    }
    if (at == log.size())
      return;
    // Cut short: only the last kill can have done it, and the next entry
    // starts on a line of its own.
    const bool new_line = line_ended || log.compare(at, 2, "\r\n") == 0;
    if (at != kill_end || !new_line) {
      walk.problem = "an entry ends short of its text, not followed by a new line, at byte " +
                     std::to_string(at);
      return;
    }
    ++walk.torn;
    at += line_ended ? 0 : 2;
  }
}

TEST(ErrorLogCrash, EveryEntryIsWholeButTheOneAKillCut) {
  const std::string path = test::ErrorLogPath();
  Chance chance("ErrorLogCrash");
  const int rounds = Rounds(10);
  size_t kill_end = std::string::npos;
  LogWalk walk;
  int reported = 0;
  for (int run = 0; run < rounds; ++run) {
    const int delay_us = chance.Between(0, 60000);
    const test::ChildResult child =
        RunAndKill({KX4_CRASH_CHILD, "log", std::to_string(run)}, microseconds(delay_us));
    ASSERT_EQ(child.status, -SIGKILL) << "round " << run << ": " << child.err;
    const std::string log = test::ReadFile(path);
    WalkLog(log, kill_end, walk);
    ASSERT_EQ(walk.problem, "") << "round " << run << ", killed after " << delay_us << " us";
    for (const std::string& key : Reported(child.out, 'L')) {
      ++reported;
      EXPECT_TRUE(walk.whole.count({run, std::atoi(key.c_str())}))
          << "entry " << run << "." << key << " was written but is not whole";
    }
    // Only the last entry matters to the next round: keep the log small.
    test::WriteFile(path, log.substr(walk.last_entry));
    kill_end = log.size() - walk.last_entry;
  }
  Figures("crash-log", "kills=" + std::to_string(rounds) +
                           " entries-reported=" + std::to_string(reported) +
                           " entries-whole=" + std::to_string(walk.whole.size()) +
                           " entries-cut-by-a-kill=" + std::to_string(walk.torn + walk.last_torn));
}

}  // namespace
}  // namespace kx4::reliability
