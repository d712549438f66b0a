// The parent's side of the job workload: the users it set up, the jobs whose
// Save returned, and the invariants the database must keep after any kill or
// power cut.
#ifndef KX4DATA_TESTS_RELIABILITY_JOBLEDGER_H_
#define KX4DATA_TESTS_RELIABILITY_JOBLEDGER_H_

#include <kx4data/Currency.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/TestDatabase.h"

namespace kx4::reliability {

class JobLedger {
 public:
  // Adds a user with `quota` (UseQuota set or not) on `connection`.
  int32_t AddUser(const std::shared_ptr<ado::Connection>& connection, bool use_quota,
                  const char* quota);
  // The user list a child plans its jobs from: every user added, and -1 (a
  // job without a user).
  std::vector<int32_t> ChildUsers() const;
  // Adds a configuration offering every paper type (three are added with
  // the first) on `connection`.
  int32_t AddConfiguration(const std::shared_ptr<ado::Connection>& connection);
  // Documents a child reported as saved.
  void Saved(const std::vector<std::string>& documents);
  // Everything a child reported (Workload.h): saved jobs, accounting runs,
  // configuration saves, a ClearLastRun.
  void Child(const std::string& output);

  // Every invariant on the database as it is now, read while no writer is
  // alive; the empty text when all hold, else one line per broken one.
  //  - every job whose Save returned is there exactly once, no job twice;
  //  - per user with UseQuota, the quota drop equals the sum of the costs
  //    of that user's jobs to the ten-thousandth; other users keep theirs;
  //  - a job is exported exactly when one completed run listed it (the run
  //    a kill interrupted counts when its jobs are exported, all or none of
  //    them), no job is in two completed runs, and not-accounted, pending
  //    and exported jobs carry a stamp exactly when they should;
  //  - each configuration's row and paper-type rows are of one version, no
  //    older than the last save that returned.
  // With `all_exported`, also: no job is left not exported.
  std::string Check(const std::shared_ptr<ado::Connection>& connection, bool all_exported = false);

  size_t SavedCount() const { return saved_.size(); }
  size_t StoredCount() const { return stored_; }
  size_t ExportRuns() const { return export_runs_; }
  size_t ConfigurationSaves() const { return configuration_saves_; }

 private:
  struct User {
    bool use_quota;
    Currency initial;
  };
  void Export(const std::vector<std::string>& documents);
  void CheckExports(const std::map<std::string, int32_t>& accounted, bool all_exported,
                    const std::function<void(const std::string&)>& fail);
  void CheckConfigurations(const std::shared_ptr<ado::Connection>& connection,
                           const std::function<void(const std::string&)>& fail);

  std::map<int32_t, User> users_;
  std::set<std::string> saved_;
  size_t stored_ = 0;
  std::map<std::string, int> exported_;  // document -> completed runs listing it
  // The last run a kill interrupted after listing: it counts if its jobs
  // were exported all the same.
  std::vector<std::string> unconfirmed_;
  bool has_unconfirmed_ = false;
  bool cleared_ = false;
  size_t export_runs_ = 0;
  std::vector<int32_t> configurations_;
  std::map<int32_t, int64_t> configuration_versions_;  // the last reported save
  size_t configuration_saves_ = 0;
  size_t paper_types_ = 0;
};

// SQLite's own check of the file: "ok", or what it found.
std::string SqliteIntegrity(const std::string& path);
// The file that holds a test database of the embedded engine.
std::string SqlitePath(const test::TestDatabase& db);

}  // namespace kx4::reliability

#endif  // KX4DATA_TESTS_RELIABILITY_JOBLEDGER_H_
