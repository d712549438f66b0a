// The parent's side of the job workload: the users it set up, the jobs whose
// Save returned, and the invariants the database must keep after any kill or
// power cut.
#ifndef KX4DATA_TESTS_RELIABILITY_JOBLEDGER_H_
#define KX4DATA_TESTS_RELIABILITY_JOBLEDGER_H_

#include <kx4data/Currency.h>

#include <cstdint>
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
  // Documents a child reported as saved.
  void Saved(const std::vector<std::string>& documents);

  // Every invariant on the database as it is now, read while no writer is
  // alive; the empty text when all hold, else one line per broken one.
  //  - every job whose Save returned is there exactly once, no job twice;
  //  - per user with UseQuota, the quota drop equals the sum of the costs
  //    of that user's jobs to the ten-thousandth; other users keep theirs.
  std::string Check(const std::shared_ptr<ado::Connection>& connection);

  size_t SavedCount() const { return saved_.size(); }
  size_t StoredCount() const { return stored_; }

 private:
  struct User {
    bool use_quota;
    Currency initial;
  };
  std::map<int32_t, User> users_;
  std::set<std::string> saved_;
  size_t stored_ = 0;
};

// SQLite's own check of the file: "ok", or what it found.
std::string SqliteIntegrity(const std::string& path);
// The file that holds a test database of the embedded engine.
std::string SqlitePath(const test::TestDatabase& db);

}  // namespace kx4::reliability

#endif  // KX4DATA_TESTS_RELIABILITY_JOBLEDGER_H_
