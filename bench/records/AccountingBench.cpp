// The accounting export and configuration loading through an established
// session against the raw engine (sqlite3, libpq) running the same
// statements, translated by the engine's own translator, with the same
// durability (SQLite: WAL, synchronous=FULL) and fetching the same rows into
// a compact column holder.
//
// On a year of 1,000,000 jobs of which the latest 100,000 are not accounted:
// one export cycle is MarkJobsAsPending, GetPendingJobs (fully fetched),
// MarkJobsAsDone and ClearLastRun (which returns the run's jobs, so every
// cycle starts alike).  Library and raw cycles alternate, the side that goes
// first alternating too; each ratio is the median of the rounds.  ClearLastRun
// must be served by an index: the SQLite side counts the rows it read in full
// scans, the PostgreSQL side the sequential scans in its plan.
//
//   accounting_bench [jobs] [rounds]
//
// The PostgreSQL half needs KX4_TEST_PGHOST (and KX4_TEST_PGPORT), as the
// tests do; without it only SQLite is measured.
#include <kx4data/Accounting.h>
#include <kx4data/Configuration.h>
#include <kx4data/KXData.h>
#include <kx4data/ado/Database.h>
#include <kx4data/ado/Recordset.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "bench/support/BenchSetup.h"
#include "bench/support/JobGenerator.h"
#include "bench/support/RawEngines.h"
#include "global/JobListSelect.h"
#include "session/Common.h"
#include "session/clsConnectionVariables.h"
#include "support/TempDir.h"

namespace {

using kx4::bench::Clock;
using kx4::bench::Median;
using kx4::bench::Require;
using kx4::bench::Since;
using kx4::bench::Succeeds;
using kx4::bench::Target;

// The statements of one run, as the library writes them.
struct RunStatements {
  std::string mark_pending, pending_jobs, mark_done, clear_last_run;
};

RunStatements StatementsOf(const kx4::Accounting& run) {
  const std::string stamp = kx4::DateToSQL(run.DateAccounted()).ToString();
  return {
      "UPDATE tblPrintJobs SET Accounted = 1, AccountedOn = " + stamp +
          " WHERE (Accounted = 0 OR Accounted = 1)",
      kx4::kJobListSelect +
          std::string("FROM tblPrintJobs P LEFT OUTER JOIN tblValidatedValues C ON C.ValidatedId "
                      "= P.ValidatedId LEFT OUTER JOIN tblUsers R ON R.UserId = P.UserId INNER "
                      "JOIN tblUnitMeasure U ON U.UnitMeasureId = P.UnitMeasureId WHERE "
                      "P.Accounted = 1 ORDER BY P.DatePrinted"),
      "UPDATE tblPrintJobs SET Accounted = 2 WHERE Accounted = 1 AND AccountedOn = " + stamp + " ",
      "UPDATE tblPrintJobs SET Accounted = 0, AccountedOn = NULL WHERE Accounted = 2 AND "
      "AccountedOn = (SELECT MAX(AccountedOn) FROM tblPrintJobs WHERE Accounted = 2)",
  };
}

// What both sides do, one operation each, and what the raw engine adds.
struct Side {
  std::function<void()> mark_pending;
  std::function<size_t()> pending_jobs;  // rows fetched
  std::function<void()> mark_done;
  std::function<void()> clear_last_run;
};

constexpr int kOps = 4;
const char* const kOpNames[kOps] = {"mark_pending", "pending_jobs", "mark_done", "clear_last_run"};

// Seconds per operation of one cycle.
std::vector<double> Cycle(const Side& side, size_t expected_rows) {
  std::vector<double> spent(kOps);
  Clock::time_point start = Clock::now();
  side.mark_pending();
  spent[0] = Since(start);
  start = Clock::now();
  const size_t rows = side.pending_jobs();
  spent[1] = Since(start);
  Require(rows == expected_rows, "pending jobs: " + std::to_string(rows) + " rows, expected " +
                                     std::to_string(expected_rows));
  start = Clock::now();
  side.mark_done();
  spent[2] = Since(start);
  start = Clock::now();
  side.clear_last_run();
  spent[3] = Since(start);
  return spent;
}

void CompareCycles(const std::string& engine, int rounds, size_t expected_rows, const Side& library,
                   const Side& raw, const std::function<void()>& between) {
  std::vector<std::vector<double>> ratios(kOps);
  std::vector<double> best_library(kOps, 1e300), best_raw(kOps, 1e300);
  for (int r = 0; r < rounds; ++r) {
    std::vector<double> lib, direct;
    if (r % 2 == 0) {
      lib = Cycle(library, expected_rows);
      between();
      direct = Cycle(raw, expected_rows);
    } else {
      direct = Cycle(raw, expected_rows);
      between();
      lib = Cycle(library, expected_rows);
    }
    between();
    if (std::getenv("KX4_BENCH_VERBOSE")) {
      std::printf("# round %d (%s first):", r, r % 2 == 0 ? "library" : "raw");
      for (int op = 0; op < kOps; ++op)
        std::printf(" %s %.3f/%.3f", kOpNames[op], lib[op], direct[op]);
      std::printf("\n");
    }
    for (int op = 0; op < kOps; ++op) {
      ratios[op].push_back(direct[op] / lib[op]);
      best_library[op] = std::min(best_library[op], lib[op]);
      best_raw[op] = std::min(best_raw[op], direct[op]);
    }
  }
  for (int op = 0; op < kOps; ++op) {
    std::printf("# %s %s: library %.3f s, raw %.3f s (best rounds)\n", engine.c_str(), kOpNames[op],
                best_library[op], best_raw[op]);
  }
  for (int op = 0; op < 3; ++op) {
    std::printf("RATIO accounting_%s_%s %.2f target >= 0.8\n", kOpNames[op], engine.c_str(),
                Median(ratios[op]));
  }
}

// 50 paper types, every other one offered by one configuration; its key.
template <typename Raw>
int32_t AddConfiguration(Raw& raw) {
  raw.Exec(
      "INSERT INTO tblConfigurations (Name, TrackOptionId, UnitMeasureId, UnitCost, MaxPages, "
      "MaxError, ColorModifier, Active) VALUES ('Fifty papers', 2, 1, 0.05, 100, 'Too long', 25, "
      "1)");
  for (int p = 1; p <= 50; ++p) {
    raw.Exec(
        "INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, Active, DefaultType) "
        "VALUES ('Paper type " +
        std::to_string(p) + "', " + std::to_string(p % 7) + ", " + std::to_string(p) + ", 1, 0)");
  }
  raw.Exec(
      "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId, CostModifier) "
      "SELECT C.ConfigurationId, P.PaperTypeId, 10 FROM tblConfigurations C, tblPaperTypes P "
      "WHERE C.Name = 'Fifty papers' AND P.ListPosition % 2 = 0");
  const kx4::bench::RawRows key =
      raw.Fetch("SELECT ConfigurationId FROM tblConfigurations WHERE Name = 'Fifty papers'");
  return static_cast<int32_t>(key.columns.at(0).numbers.at(0));
}

// Configuration::Load against the raw engine running its three statements;
// the two alternate in chunks, the ratio is the median of the rounds.
void CompareConfigurationLoad(const std::string& engine, int rounds, kx4::KXData& session,
                              int32_t id,
                              const std::function<std::string(const std::string&)>& translate,
                              const std::function<size_t(const std::string&)>& fetch) {
  const std::string ids = std::to_string(id);
  std::vector<std::string> statements = {
      "SELECT C.ConfigurationId, C.Name, C.TrackOptionId, C.UnitMeasureId, C.UnitCost, "
      "U.UnitDisplay AS UnitDesc, C.MaxPages, C.MaxError, (C.ColorModifier + 100) AS Modifier, "
      "C.Active FROM tblConfigurations C, tblUnitMeasure U WHERE C.ConfigurationId = " +
          ids + " AND U.UnitMeasureId = C.UnitMeasureId",
      "SELECT PaperTypeId, Description, (CostModifier + 100) AS Modifier, Active, DefaultType, "
      "ListPosition FROM tblPaperTypes WHERE Active = 1 ORDER BY ListPosition",
      "SELECT CP.PaperTypeId, P.Description, (CP.CostModifier + 100) AS Modifier FROM "
      "tblConfigurationPaperTypes CP, tblPaperTypes P WHERE CP.ConfigurationId = " +
          ids + " AND P.PaperTypeId = CP.PaperTypeId ORDER BY P.ListPosition",
  };
  for (std::string& sql : statements)
    sql = translate(sql);
  auto library = [&] {
    kx4::Configuration config;
    Succeeds(config.Load(session, id), "Configuration::Load");
    Require(config.PaperTypes()->Count() == 50, "paper types");
  };
  auto raw = [&] {
    size_t rows = 0;
    for (const std::string& sql : statements)
      rows += fetch(sql);
    Require(rows == 1 + 50 + 25, "raw configuration rows");
  };
  constexpr int kLoads = 600, kChunk = 20;
  std::vector<double> ratios;
  double best_library = 1e300, best_raw = 1e300;
  for (int warm = 0; warm < 20; ++warm) {
    library();
    raw();
  }
  for (int r = 0; r < rounds; ++r) {
    double lib_spent = 0, raw_spent = 0;
    for (int done = 0; done < kLoads; done += kChunk) {
      Clock::time_point start = Clock::now();
      for (int i = 0; i < kChunk; ++i)
        raw();
      raw_spent += Since(start);
      start = Clock::now();
      for (int i = 0; i < kChunk; ++i)
        library();
      lib_spent += Since(start);
    }
    ratios.push_back(raw_spent / lib_spent);
    best_library = std::min(best_library, lib_spent / kLoads);
    best_raw = std::min(best_raw, raw_spent / kLoads);
  }
  std::printf("# %s configuration load (50 paper types): library %.1f us, raw %.1f us\n",
              engine.c_str(), best_library * 1e6, best_raw * 1e6);
  std::printf("RATIO configuration_load_%s %.2f target >= 0.8\n", engine.c_str(), Median(ratios));
}

// The statement that undoes the last run must find its jobs by index: no
// row of a full scan on SQLite, no sequential scan on PostgreSQL.
void CheckClearLastRun(kx4::bench::RawSqlite& raw, const std::string& clear_last_run) {
  std::printf("RATIO accounting_clear_last_run_full_scan_rows_sqlite %lld target <= 0\n",
              static_cast<long long>(raw.FullScanSteps(clear_last_run)));
}

void CheckClearLastRun(kx4::bench::RawPostgres& raw, const std::string& clear_last_run) {
  const std::string plan = raw.Explain(clear_last_run);
  int scans = 0;
  for (size_t at = plan.find("Seq Scan"); at != std::string::npos;
       at = plan.find("Seq Scan", at + 1))
    ++scans;
  std::printf("# postgres clear_last_run plan:\n%s", plan.c_str());
  std::printf("RATIO accounting_clear_last_run_seq_scans_postgres %d target <= 0\n", scans);
}

template <typename Raw>
void Run(const Target& target, const kx4::bench::JobSet& set, int rounds,
         const std::function<void()>& generate, const std::function<std::unique_ptr<Raw>()>& open) {
  const std::string cs = kx4::bench::PrepareDatabase(target, set, generate);
  {
    kx4::KXData session;
    Succeeds(session.EstablishConnection(kx4::Variant(true)), "EstablishConnection");
    Succeeds(session.GetAuthorization(), "GetAuthorization");
    std::unique_ptr<Raw> raw = open();

    kx4::Accounting run;
    const RunStatements sql = StatementsOf(run);
    const RunStatements native = {raw->Translate(sql.mark_pending),
                                  raw->Translate(sql.pending_jobs), raw->Translate(sql.mark_done),
                                  raw->Translate(sql.clear_last_run)};

    Side library{
        [&] { Succeeds(run.MarkJobsAsPending(session), "MarkJobsAsPending"); },
        [&] {
          std::shared_ptr<kx4::ado::Recordset> jobs;
          Succeeds(run.GetPendingJobs(session, jobs), "GetPendingJobs");
          return static_cast<size_t>(jobs->RecordCount());
        },
        [&] { Succeeds(run.MarkJobsAsDone(session), "MarkJobsAsDone"); },
        [&] { Succeeds(run.ClearLastRun(session), "ClearLastRun"); },
    };
    Side direct{
        [&] { raw->Exec(native.mark_pending); },
        [&] { return raw->Fetch(native.pending_jobs).rows; },
        [&] { raw->Exec(native.mark_done); },
        [&] { raw->Exec(native.clear_last_run); },
    };
    // PostgreSQL keeps the old row versions of every update; clear them
    // away between cycles so that no cycle pays for an earlier one's.
    auto between = [&] {
      if (target.engine == "postgres")
        raw->Exec("VACUUM tblPrintJobs");
    };
    CompareCycles(target.engine, rounds, static_cast<size_t>(set.not_accounted), library, direct,
                  between);
    // With a run of its own exported, so that undoing it leaves the jobs as
    // the cycles did.
    library.mark_pending();
    library.mark_done();
    CheckClearLastRun(*raw, native.clear_last_run);

    const int32_t id = AddConfiguration(*raw);
    CompareConfigurationLoad(
        target.engine, rounds * 3, session, id,
        [&](const std::string& s) { return raw->Translate(s); },
        [&](const std::string& s) { return raw->Fetch(s).rows; });
    session.CloseConnection();
  }
  kx4::ado::DropDatabase(cs);
}

}  // namespace

int main(int argc, char** argv) {
  const kx4::bench::Arguments arguments = kx4::bench::ParseArguments(argc, argv);
  return kx4::bench::RunOnEngines(
      "accounting", "kx4bench_accounting", arguments,
      [&](const Target& target, const std::function<void()>& generate, const auto& open) {
        using Raw = typename std::remove_cvref_t<decltype(open())>::element_type;
        Run<Raw>(target, arguments.set, arguments.rounds, generate, open);
      });
}
