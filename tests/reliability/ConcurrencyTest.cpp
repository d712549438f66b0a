// Writers in several processes (4 on one SQLite file, 8 connections on
// PostgreSQL) record jobs for the same users while an accounting process
// marks, lists and completes runs and another purges an old month.  No
// failure but a time-out is allowed; afterwards no charge is lost or
// doubled, every job is exported exactly once, the month is gone, and on
// SQLite each writer got at least half its fair share of the turns.
//
// CI runs 3 seconds; KX4_CONCURRENCY_SECONDS sets the long run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "reliability/Harness.h"
#include "reliability/JobLedger.h"
#include "reliability/Workload.h"
#include "session/SessionSupport.h"

namespace kx4::reliability {
namespace {

int Seconds() {
  const char* text = std::getenv("KX4_CONCURRENCY_SECONDS");
  const int seconds = text != nullptr ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 3;
}

class Concurrency : public test::EngineTest {};

TEST_P(Concurrency, WritersAccountingAndPurgeShareTheDatabase) {
  test::StoreSettingsFor(db());
  auto raw = Connect();
  JobLedger ledger;
  ledger.AddUser(raw, true, "1000");
  ledger.AddUser(raw, true, "5");
  ledger.AddUser(raw, false, "20");
  // The month the purge deletes: exported long ago, no user.
  constexpr int kOldJobs = 200;
  for (int i = 0; i < kOldJobs; ++i) {
    test::Execute(raw,
                  "INSERT INTO tblPrintJobs (Document, Pages, Copies, CostPerUnit, UnitMeasureId, "
                  "DatePrinted, Accounted, AccountedOn) VALUES (N'old-" +
                      std::to_string(i) + "', 1, 1, 0, 1, ?, 2, ?)",
                  {Variant(PurgedMonth().AddSeconds(i * 600)), Variant(PurgedMonth())});
  }

  const int writers = IsSqlite() ? 4 : 8;
  const std::string seconds = std::to_string(Seconds());
  std::vector<std::vector<std::string>> roles;
  for (int w = 0; w < writers; ++w) {
    roles.push_back({KX4_CRASH_CHILD, "concurrent", std::to_string(w), seconds, "jobs"});
    for (int32_t user : ledger.ChildUsers())
      roles.back().push_back(std::to_string(user));
  }
  roles.push_back({KX4_CRASH_CHILD, "concurrent", "100", seconds, "account"});
  roles.push_back({KX4_CRASH_CHILD, "concurrent", "101", seconds, "purge"});

  std::vector<test::ChildResult> results(roles.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < roles.size(); ++i)
    threads.emplace_back([&, i] { results[i] = test::RunChild(roles[i]); });
  for (std::thread& thread : threads)
    thread.join();

  size_t total = 0, fewest = SIZE_MAX, timeouts = 0;
  for (size_t i = 0; i < results.size(); ++i) {
    ASSERT_EQ(results[i].status, 0) << roles[i][4] << " " << roles[i][2] << ": " << results[i].err;
    ledger.Child(results[i].out);
    timeouts += Reported(results[i].out, 'B').size();
    if (i < static_cast<size_t>(writers)) {
      const size_t jobs = Reported(results[i].out, 'J').size();
      total += jobs;
      fewest = std::min(fewest, jobs);
    }
  }
  EXPECT_FALSE(Reported(results.back().out, 'U').empty()) << "the purge never finished";
  EXPECT_EQ(
      test::Scalar(raw, "SELECT COUNT(*) FROM tblPrintJobs WHERE Document LIKE N'old-%'").ToLong(),
      0);

  const test::ChildResult last = test::RunChild({KX4_CRASH_CHILD, "account", "0"});
  ASSERT_EQ(last.status, 0) << last.err;
  ledger.Child(last.out);
  if (IsSqlite()) {
    ASSERT_EQ(SqliteIntegrity(SqlitePath(db())), "ok");
  }
  EXPECT_EQ(ledger.Check(raw, true), "");
  EXPECT_EQ(ledger.StoredCount(), ledger.SavedCount());
  if (IsSqlite()) {
    EXPECT_GE(fewest * 2 * static_cast<size_t>(writers), total)
        << "a writer recorded " << fewest << " of " << total << " jobs";
  }
  Figures(std::string("concurrency-") + (IsSqlite() ? "sqlite" : "postgres"),
          "writers=" + std::to_string(writers) + " seconds=" + seconds +
              " jobs=" + std::to_string(total) + " fewest-per-writer=" + std::to_string(fewest) +
              " export-runs=" + std::to_string(ledger.ExportRuns()) +
              " time-outs=" + std::to_string(timeouts));
}

KX4_INSTANTIATE_ENGINES(Concurrency);

}  // namespace
}  // namespace kx4::reliability
