// DataGlobal's job list and PurgeJobs on a year of 1,000,000 jobs against
// the raw engine (sqlite3, libpq) running the same statements, translated by
// the engine's own translator, fetching the same rows into a compact column
// holder, with the same durability (SQLite: WAL, synchronous=FULL).
//
// Lists: every job (fully fetched), one month, one user's own data (an
// own-data reporter, no filter), one printer by a name prefix, one billing
// code.  Library and raw runs alternate, the side that goes first
// alternating too; each ratio is the median of the rounds.  The memory of the
// fetch is counted by routing malloc through a meter (MemoryMeter): its peak
// against what the finished record set holds.  PurgeJobs deletes one month,
// the raw DELETE another; the ratio compares seconds per deleted job.
//
//   joblist_bench [jobs] [rounds] [sqlite|postgres]
//
// The PostgreSQL half needs KX4_TEST_PGHOST (and KX4_TEST_PGPORT), as the
// tests do; without it only SQLite is measured.
#include <kx4data/DataGlobal.h>
#include <kx4data/KXData.h>
#include <kx4data/User.h>
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
#include "bench/support/MemoryMeter.h"
#include "bench/support/RawEngines.h"
#include "dataaccess/RecordsetInternal.h"
#include "global/JobListSelect.h"
#include "global/ListFilters.h"
#include "session/Common.h"
#include "session/clsConnectionVariables.h"
#include "support/TempDir.h"

namespace {

using kx4::DateTime;
using kx4::Variant;
using kx4::bench::Clock;
using kx4::bench::Median;
using kx4::bench::Require;
using kx4::bench::Since;
using kx4::bench::Succeeds;
using kx4::bench::Target;

// The job list's statement with `conditions`, as DataGlobal writes it.
std::string JobListSQL(const std::vector<std::string>& conditions) {
  std::string sql = std::string(kx4::kJobListSelect) +
                    "FROM tblPrintJobs P INNER JOIN tblUnitMeasure U ON U.UnitMeasureId = "
                    "P.UnitMeasureId LEFT OUTER JOIN tblValidatedValues C ON C.ValidatedId = "
                    "P.ValidatedId LEFT OUTER JOIN tblUsers R ON R.UserId = P.UserId ";
  for (size_t i = 0; i < conditions.size(); ++i)
    sql += (i == 0 ? "WHERE " : " AND ") + conditions[i];
  if (!conditions.empty())
    sql += " ";
  return sql + "ORDER BY P.DatePrinted";
}

std::string DateLiteral(DateTime date) {
  return kx4::DateToSQL(date).ToString();
}

// Eight Null elements, one of them set.
Variant Filter(size_t index, Variant value) {
  std::vector<Variant> elements(8, Variant::Null());
  elements[index] = std::move(value);
  return Variant(kx4::VariantArray(std::move(elements)));
}

Variant Dates(DateTime from, DateTime to) {
  std::vector<Variant> elements(8, Variant::Null());
  elements[3] = Variant(from);
  elements[4] = Variant(to);
  return Variant(kx4::VariantArray(std::move(elements)));
}

// One list both sides fetch.
struct List {
  std::string name;
  kx4::KXData* session;  // the reporter the library lists as
  Variant filters;
  std::string sql;  // the dialect statement the library runs
  std::vector<std::string> params;
};

constexpr int32_t kOwnUser = 7;
constexpr const char* kOwnPin = "7777";
constexpr const char* kPrinter = "Ricoh MP C3004 (floor 0)";
constexpr int32_t kBillingCode = 7;

template <typename Raw>
void CompareLists(const Target& target, int rounds, const std::vector<List>& lists, Raw& raw) {
  kx4::DataGlobal global;
  for (const List& list : lists) {
    const std::string native = raw.Translate(list.sql);
    auto library = [&] {
      std::shared_ptr<kx4::ado::Recordset> rs;
      const Clock::time_point start = Clock::now();
      Succeeds(global.GetJobList(*list.session, rs, list.filters), "GetJobList");
      const double spent = Since(start);
      return std::make_pair(spent, static_cast<size_t>(rs->RecordCount()));
    };
    auto direct = [&] {
      const Clock::time_point start = Clock::now();
      const size_t rows = raw.Fetch(native, list.params).rows;
      return std::make_pair(Since(start), rows);
    };
    // One untimed run of each side first: the first run of a list reads its
    // pages into the caches, and whichever side went first paid for it.
    static_cast<void>(library());
    static_cast<void>(direct());
    std::vector<double> ratios;
    double best_library = 1e300, best_raw = 1e300;
    size_t rows = 0;
    for (int r = 0; r < rounds; ++r) {
      std::pair<double, size_t> lib, mine;
      if (r % 2 == 0) {
        lib = library();
        mine = direct();
      } else {
        mine = direct();
        lib = library();
      }
      Require(lib.second == mine.second, list.name + ": the library listed " +
                                             std::to_string(lib.second) + " jobs, raw " +
                                             std::to_string(mine.second));
      rows = lib.second;
      if (std::getenv("KX4_BENCH_VERBOSE"))
        std::printf("# round %d %s: library %.3f s, raw %.3f s\n", r, list.name.c_str(), lib.first,
                    mine.first);
      ratios.push_back(mine.first / lib.first);
      best_library = std::min(best_library, lib.first);
      best_raw = std::min(best_raw, mine.first);
    }
    std::printf("# %s job list %s: %zu jobs, library %.3f s, raw %.3f s (best rounds)\n",
                target.engine.c_str(), list.name.c_str(), rows, best_library, best_raw);
    std::printf("RATIO joblist_%s_%s %.2f target >= 0.8\n", list.name.c_str(),
                target.engine.c_str(), Median(ratios));
  }
}

// The size of the full list's record set and the peak the fetch reached, the
// raw side's peak beside it.
template <typename Raw>
void MeasureMemory(const Target& target, const List& all, Raw& raw) {
  kx4::DataGlobal global;
  int64_t peak = 0, held = 0;
  size_t rows = 0, bytes = 0;
  {
    std::shared_ptr<kx4::ado::Recordset> rs;
    kx4::bench::Meter meter;
    Succeeds(global.GetJobList(*all.session, rs, all.filters), "GetJobList");
    peak = meter.Peak();
    held = meter.Now();
    rows = static_cast<size_t>(rs->RecordCount());
    bytes = kx4::ado::RecordsetInternal::MemoryUsage(*rs);
  }
  int64_t raw_peak = 0;
  size_t raw_bytes = 0;
  {
    const std::string native = raw.Translate(all.sql);
    kx4::bench::Meter meter;
    const kx4::bench::RawRows fetched = raw.Fetch(native);
    raw_peak = meter.Peak();
    raw_bytes = static_cast<size_t>(meter.Now());
  }
  std::printf(
      "# %s full list: record set %zu bytes (%lld held after the call), peak %lld; raw holder "
      "%zu bytes, raw peak %lld\n",
      target.engine.c_str(), bytes, static_cast<long long>(held), static_cast<long long>(peak),
      raw_bytes, static_cast<long long>(raw_peak));
  std::printf("RATIO joblist_bytes_per_row_%s %.1f target <= 400\n", target.engine.c_str(),
              static_cast<double>(bytes) / static_cast<double>(rows));
  std::printf("RATIO joblist_fetch_peak_%s %.2f target <= 1.3\n", target.engine.c_str(),
              static_cast<double>(peak) / static_cast<double>(bytes));
}

// PurgeJobs of one month against the raw DELETE of another, in seconds per
// deleted job; each round takes two months of the year not purged before.
template <typename Raw>
void ComparePurge(const Target& target, int rounds, kx4::KXData& session, Raw& raw) {
  kx4::DataGlobal global;
  auto month = [](int m) { return DateTime::FromCivil(2025, m, 1); };
  auto count = [&](int m) {
    const std::string sql =
        "SELECT COUNT(*) FROM tblPrintJobs WHERE DatePrinted >= " + DateLiteral(month(m)) +
        " AND DatePrinted < " + DateLiteral(month(m + 1));
    return static_cast<double>(raw.Fetch(raw.Translate(sql)).columns.at(0).numbers.at(0));
  };
  auto library = [&](int m) {
    const double jobs = count(m);
    const Clock::time_point start = Clock::now();
    Succeeds(global.PurgeJobs(session, month(m), month(m + 1)), "PurgeJobs");
    const double spent = Since(start);
    Require(count(m) == 0, "PurgeJobs left jobs behind");
    return spent / jobs;
  };
  auto direct = [&](int m) {
    const double jobs = count(m);
    const std::string sql =
        raw.Translate("DELETE FROM tblPrintJobs WHERE DatePrinted >= " + DateLiteral(month(m)) +
                      " AND DatePrinted < " + DateLiteral(month(m + 1)));
    const Clock::time_point start = Clock::now();
    raw.Exec(sql);
    return Since(start) / jobs;
  };
  std::vector<double> ratios;
  double best_library = 1e300, best_raw = 1e300;
  rounds = std::min(rounds, 5);  // ten months of the year
  for (int r = 0; r < rounds; ++r) {
    const int first = 2 + 2 * r;
    double lib, mine;
    if (r % 2 == 0) {
      lib = library(first);
      mine = direct(first + 1);
    } else {
      mine = direct(first);
      lib = library(first + 1);
    }
    if (std::getenv("KX4_BENCH_VERBOSE"))
      std::printf("# round %d purge: library %.2f us, raw %.2f us per job\n", r, lib * 1e6,
                  mine * 1e6);
    ratios.push_back(mine / lib);
    best_library = std::min(best_library, lib);
    best_raw = std::min(best_raw, mine);
  }
  std::printf("# %s purge of a month: library %.2f us, raw %.2f us per job (best rounds)\n",
              target.engine.c_str(), best_library * 1e6, best_raw * 1e6);
  std::printf("RATIO joblist_purge_month_%s %.2f target >= 0.8\n", target.engine.c_str(),
              Median(ratios));
}

template <typename Raw>
void Run(const Target& target, const kx4::bench::JobSet& set, int rounds,
         const std::function<void()>& generate, const std::function<std::unique_ptr<Raw>()>& open) {
  const std::string cs = kx4::bench::PrepareDatabase(target, set, generate);
  {
    // The administrator holds every right; the own-data reporter, authorised
    // by PIN once the viewer is secured, only its own jobs.
    kx4::KXData admin;
    Succeeds(admin.EstablishConnection(Variant(true)), "EstablishConnection");
    Succeeds(admin.GetAuthorization(), "GetAuthorization");
    std::unique_ptr<Raw> raw = open();
    // The generated PINs are no cipher text; the user gets a real one.
    raw->Exec("UPDATE tblUsers SET PinCode = NULL WHERE UserId = " + std::to_string(kOwnUser));
    kx4::User user;
    Succeeds(user.Load(admin, kOwnUser), "User::Load");
    user.SetPinCode(kOwnPin);
    user.SetReportSecurity(kx4::kxrOwnData);
    Succeeds(user.Save(admin), "User::Save");
    raw->Exec("UPDATE tblSettings SET SecureViewer = 1");
    kx4::KXData reporter;
    Succeeds(reporter.EstablishConnection(Variant(true)), "EstablishConnection");
    Succeeds(reporter.GetAuthorization(kOwnPin), "GetAuthorization");
    const std::string pin =
        raw->Fetch(raw->Translate("SELECT PinCode FROM tblUsers WHERE UserId = " +
                                  std::to_string(kOwnUser)))
            .columns.at(0)
            .text;

    const DateTime march = DateTime::FromCivil(2025, 3, 1);
    const DateTime march_end = DateTime::FromCivil(2025, 3, 31);
    const std::string printer = kx4::UpperPattern(Variant(kPrinter));
    const std::vector<List> lists = {
        {"all", &admin, Variant(), JobListSQL({}), {}},
        {"month",
         &admin,
         Dates(march, march_end),
         JobListSQL({"P.DatePrinted >= " + DateLiteral(march),
                     "P.DatePrinted < " + DateLiteral(march_end.AddDays(1))}),
         {}},
        {"own_data", &reporter, Variant(), JobListSQL({"R.PinCode = ?"}), {pin}},
        {"printer_prefix",
         &admin,
         Filter(1, Variant(kPrinter)),
         JobListSQL({"(UPPER(P.PrinterName) LIKE " + printer + " OR UPPER(P.PrinterPort) LIKE " +
                     printer + ")"}),
         {}},
        {"billing_code",
         &admin,
         Filter(0, Variant(kBillingCode)),
         JobListSQL({"P.ValidatedId = " + std::to_string(kBillingCode)}),
         {}},
    };
    CompareLists(target, rounds, lists, *raw);
    MeasureMemory(target, lists.front(), *raw);
    ComparePurge(target, rounds, admin, *raw);
    reporter.CloseConnection();
    admin.CloseConnection();
  }
  kx4::ado::DropDatabase(cs);
}

}  // namespace

int main(int argc, char** argv) {
  const kx4::bench::Arguments arguments = kx4::bench::ParseArguments(argc, argv);
  return kx4::bench::RunOnEngines(
      "joblist", "kx4bench_joblist", arguments,
      [&](const Target& target, const std::function<void()>& generate, const auto& open) {
        using Raw = typename std::remove_cvref_t<decltype(open())>::element_type;
        Run<Raw>(target, arguments.set, arguments.rounds, generate, open);
      });
}
