// A year of print jobs of a mid-size office, for the benchmarks: 50 users,
// 20 printers, 30 billing codes, realistic texts, and the accounting state a
// site that exports monthly has: every job exported by the run after its
// month, except the most recent ones, which no run has exported yet.
#ifndef KX4DATA_BENCH_SUPPORT_JOBGENERATOR_H_
#define KX4DATA_BENCH_SUPPORT_JOBGENERATOR_H_

#include <cstdint>
#include <string>

#include <kx4data/DateTime.h>

namespace kx4::bench {

struct JobSet {
  int32_t jobs = 1'000'000;
  int32_t not_accounted = 100'000;  // the latest jobs
  DateTime first = DateTime::FromCivil(2025, 1, 1);
  int32_t days = 365;
};

// Fills a freshly created database (kx4::ado::CreateDatabase) with the
// reference rows and `set`'s jobs.  The SQLite file at `path`; the
// PostgreSQL database on `host`/`port`.  Throws std::runtime_error.
void GenerateSqlite(const std::string& path, const JobSet& set);
void GeneratePostgres(const std::string& host, const std::string& port, const std::string& database,
                      const JobSet& set);

}  // namespace kx4::bench

#endif  // KX4DATA_BENCH_SUPPORT_JOBGENERATOR_H_
