// PrintJob::Save for a user with a quota on an established session, against
// the raw engine running the same two statements in one transaction with the
// same durability (SQLite: WAL, synchronous=FULL; PostgreSQL: one connection,
// fsync on), building the statement text per call.  The two alternate in
// chunks so that load from elsewhere on the machine hits both alike; the
// ratio is the median of the rounds.
//
//   records_bench [jobs per round] [rounds]   (other arguments are ignored)
//
// The PostgreSQL half needs KX4_TEST_PGHOST (and KX4_TEST_PGPORT), as the
// tests do; without it only SQLite is measured.
#include <kx4data/KXData.h>
#include <kx4data/PrintJob.h>
#include <kx4data/ado/Database.h>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"
#include "dataaccess/sqlite/SqliteFunctions.h"
#include "session/clsConnectionVariables.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using kx4::Currency;

constexpr int32_t kUserId = 1;
const Currency kCostPerUnit = Currency::FromTicks(500);  // 0.05

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

void Check(bool ok, const std::string& what) {
  if (!ok)
    throw std::runtime_error(what);
}

// The job an agent records: one page of letter paper on a known user.
kx4::PrintJob MakeJob(int i) {
  kx4::PrintJob job;
  job.SetUserId(kUserId);
  job.SetValidatedValueId(-1);
  job.SetNetworkUser("jdoe");
  job.SetMachineName("PC-7");
  job.SetPrinterName("Laser 4");
  job.SetPort("lpt1:");
  job.SetDocument("Quarterly report " + std::to_string(i));
  job.SetProcessName("winword.exe");
  job.SetPaperType("A4");
  job.SetPaperSize("Letter");
  job.SetConfigName("Standard");
  job.SetPages(1);
  job.SetCopies(1);
  job.SetPageWidth(2159);
  job.SetPageHeight(2794);
  job.SetTrackStatus(kx4::kxtTrackOnly);
  job.SetUnitMeasureId(kx4::kxuPages);
  job.SetCostPerUnit(kCostPerUnit);
  return job;
}

// The values of the raw insert, in column order, with the engine's spelling
// of the server clock; the price goes as parameter `price`.
std::string RawInsert(int i, const std::string& price, const std::string& now) {
  return "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
         "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
         "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2, "
         "ConfigName, TrackStatus, PrintedToFile) VALUES (" +
         std::to_string(kUserId) + ", NULL, 'jdoe', 'PC-7', 'Laser 4', 'LPT1:', 'WINWORD.EXE', " +
         "'A4', 'Quarterly report " + std::to_string(i) + "', 1, 1, 2159, 2794, 'Letter', 0, " +
         price + ", 1, " + now + ", NULL, NULL, 'Standard', 2, 0)";
}

std::string RawCharge(const std::string& price) {
  return "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - " + price +
         " WHERE UserId = " + std::to_string(kUserId) + " AND UseQuota = 1";
}

// --- SQLite, straight through its C interface ---
class RawSqlite {
 public:
  explicit RawSqlite(const std::string& path) {
    Check(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                          nullptr) == SQLITE_OK,
          "sqlite open");
    sqlite3_busy_timeout(db_, 10000);
    // The schema's collation and functions, as every connection to the file needs them.
    kx4::ado::sqlite::RegisterFunctions(db_);
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL");
  }
  ~RawSqlite() { sqlite3_close_v2(db_); }

  void Save(int i) {
    Exec("BEGIN IMMEDIATE");
    Step(RawCharge("?1"));
    Step(RawInsert(i, "?1", "strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')"));
    Exec("COMMIT");
  }

 private:
  void Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
      Check(false, sqlite3_errmsg(db_));
  }
  void Step(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) !=
        SQLITE_OK)
      Check(false, sqlite3_errmsg(db_));
    sqlite3_bind_int64(st, 1, kCostPerUnit.Ticks());  // money is stored in ten-thousandths
    const int rc = sqlite3_step(st);
    const std::string why = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    Check(rc == SQLITE_DONE, why);
  }
  sqlite3* db_ = nullptr;
};

// --- PostgreSQL, straight through libpq ---
class RawPostgres {
 public:
  RawPostgres(const std::string& host, const std::string& port, const std::string& database) {
    std::string conninfo = "host='" + host + "' dbname='" + database + "'";
    if (!port.empty())
      conninfo += " port=" + port;
    pg_ = PQconnectdb(conninfo.c_str());
    Check(PQstatus(pg_) == CONNECTION_OK, PQerrorMessage(pg_));
  }
  ~RawPostgres() { PQfinish(pg_); }

  void Save(int i) {
    Exec("BEGIN");
    Param(RawCharge("$1::numeric"));
    Param(RawInsert(i, "$1::numeric", "LOCALTIMESTAMP(0)"));
    Exec("COMMIT");
  }

 private:
  void Exec(const char* sql) {
    PGresult* r = PQexec(pg_, sql);
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    Check(ok, PQerrorMessage(pg_));
  }
  void Param(const std::string& sql) {
    const std::string price = kCostPerUnit.ToString();
    const char* values[] = {price.c_str()};
    PGresult* r = PQexecParams(pg_, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0);
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    Check(ok, PQerrorMessage(pg_));
  }
  PGconn* pg_ = nullptr;
};

struct Result {
  double library_per_s = 0;  // best round
  double raw_per_s = 0;
  double ratio = 0;  // library throughput / raw throughput, median of the rounds
};

// The two sides alternate in chunks within each round, so that a busy disk or
// core hits both alike.
Result Measure(int jobs, int rounds, const std::function<void(int)>& library,
               const std::function<void(int)>& raw) {
  constexpr int kChunk = 50;
  Result result;
  std::vector<double> ratios;
  int n = 0;
  for (int warm = 0; warm < 20; ++warm) {
    library(n++);
    raw(n++);
  }
  for (int r = 0; r < rounds; ++r) {
    std::chrono::duration<double> library_spent{0}, raw_spent{0};
    for (int done = 0; done < jobs; done += kChunk) {
      const int chunk = std::min(kChunk, jobs - done);
      const auto t0 = Clock::now();
      for (int i = 0; i < chunk; ++i)
        raw(n++);
      const auto t1 = Clock::now();
      for (int i = 0; i < chunk; ++i)
        library(n++);
      const auto t2 = Clock::now();
      raw_spent += t1 - t0;
      library_spent += t2 - t1;
    }
    ratios.push_back(raw_spent / library_spent);
    result.library_per_s = std::max(result.library_per_s, jobs / library_spent.count());
    result.raw_per_s = std::max(result.raw_per_s, jobs / raw_spent.count());
  }
  std::sort(ratios.begin(), ratios.end());
  result.ratio = ratios[ratios.size() / 2];
  return result;
}

void Report(const char* name, const Result& r) {
  std::printf("%s: library %.0f saves/s, raw engine %.0f saves/s (best rounds)\n", name,
              r.library_per_s, r.raw_per_s);
  std::printf("RATIO %s %.2f target >= 0.8\n", name, r.ratio);
}

Result Run(const std::string& server, const std::string& database, int jobs, int rounds,
           const std::function<std::function<void(int)>()>& make_raw) {
  const std::string connection_string = "Provider=SQLOLEDB;Data Source=" + server +
                                        ";Database=" + database + ";Trusted_Connection=Yes;";
  kx4::ado::DropDatabase(connection_string);
  kx4::ado::CreateDatabase(connection_string);
  {
    kx4::ado::Connection c;
    c.SetConnectionString(connection_string);
    c.SetMode(kx4::ado::adModeReadWrite);
    c.Open();
    kx4::ado::Command seed;
    seed.SetCommandText(
        "INSERT INTO tblUsers (PinCode, Name, UseQuota, QuotaRemaining, Active) "
        "VALUES (N'1234', N'Bench', 1, 1000000, 1)");
    seed.SetActiveConnection(std::shared_ptr<kx4::ado::Connection>(&c, [](auto*) {}));
    seed.Execute();
  }
  kx4::clsConnectionVariables settings;
  settings.SetServer(server);
  settings.SetDatabase(database);
  settings.SetNTAuthenticate(true);
  settings.SetConnectTimeout(15);
  settings.Store(false);

  kx4::KXData session;
  kx4::KXErrorPtr error = session.EstablishConnection(kx4::Variant(true));
  if (!error)
    error = session.GetAuthorization();
  Check(!error, error ? error->Message() : "");
  auto library = [&](int i) {
    kx4::PrintJob job = MakeJob(i);
    kx4::KXErrorPtr e = job.Save(session);
    Check(!e, e ? e->Message() : "");
  };
  std::function<void(int)> raw = make_raw();
  Result r = Measure(jobs, rounds, library, raw);
  raw = nullptr;  // closes the raw connection before the database goes
  session.CloseConnection();
  kx4::ado::DropDatabase(connection_string);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  auto number = [&](int i, int fallback) {
    const int n = argc > i ? std::atoi(argv[i]) : 0;
    return n > 0 ? n : fallback;
  };
  const int jobs = number(1, 400);
  const int rounds = number(2, 5);
  try {
    // A private hive and data folder; the raw side opens the same file.
    kx4::test::TempDir scratch;
    setenv("KX4_HIVE_DIR", scratch.Path().c_str(), 1);
    setenv("KX4_LOG_DIR", scratch.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", scratch.Path().c_str(), 1);

    const std::string sqlite_db = "kx4bench_jobs";
    Result sqlite = Run("(localdb)", sqlite_db, jobs, rounds, [&]() -> std::function<void(int)> {
      auto raw = std::make_shared<RawSqlite>(scratch.Path() + "/kestrix/" + sqlite_db + ".db");
      return [raw](int i) { raw->Save(i); };
    });
    Report("job_save_sqlite", sqlite);

    const std::string host = Env("KX4_TEST_PGHOST"), port = Env("KX4_TEST_PGPORT");
    if (host.empty()) {
      std::printf("job_save_postgres: KX4_TEST_PGHOST is not set; not measured\n");
      return 0;
    }
    const std::string pg_db = "kx4bench_jobs_" + std::to_string(getpid());
    Result pg = Run(port.empty() ? host : host + "," + port, pg_db, jobs, rounds,
                    [&]() -> std::function<void(int)> {
                      auto raw = std::make_shared<RawPostgres>(host, port, pg_db);
                      return [raw](int i) { raw->Save(i); };
                    });
    Report("job_save_postgres", pg);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "records_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
