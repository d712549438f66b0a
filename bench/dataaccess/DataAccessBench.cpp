// Data-access layer against the raw engine, in one run:
//   - fetching the 1,000,000-row job list into a record set vs. a plain
//     sqlite3_step/sqlite3_column_* loop into a columnar holder;
//   - bytes per row of the record set (and of the raw holder);
//   - translation cost per statement of the catalogue;
//   - the writers' queue: four processes saving jobs as fast as they can.
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>
#include <kx4data/ado/Recordset.h>

#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"
#include "dataaccess/RecordsetInternal.h"
#include "dataaccess/Statements.h"
#include "dataaccess/dialect/Dialect.h"
#include "dataaccess/sqlite/SqliteConnection.h"
#include "dataaccess/sqlite/SqliteFunctions.h"

namespace {

using Clock = std::chrono::steady_clock;
using kx4::Currency;
using kx4::Variant;
namespace ado = kx4::ado;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// A million jobs in one transaction with one prepared statement.
void Fill(const std::string& path, int rows) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  kx4::ado::sqlite::RegisterFunctions(db);
  Check(sqlite3_exec(db, "PRAGMA cache_size=-524288", nullptr, nullptr, nullptr), db, "cache");
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (int u = 1; u <= 50; ++u) {
    const std::string sql = "INSERT INTO tblUsers (PinCode, Name, Active) VALUES ('pin" +
                            std::to_string(u) + "', 'User Number " + std::to_string(u) + "', 1)";
    Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "user");
  }
  for (int v = 1; v <= 20; ++v) {
    const std::string sql = "INSERT INTO tblValidatedValues (Code, Description) VALUES ('PRJ-" +
                            std::to_string(v) + "', 'Project description " + std::to_string(v) +
                            "')";
    Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "value");
  }
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(
            db,
            "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, "
            "PrinterName, PrinterPort, ProcessName, PaperType, Document, Pages, Copies, "
            "PageWidth, PageHeight, PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, "
            "UserDefined1, UserDefined2, ConfigName, TrackStatus, PrintedToFile) VALUES "
            "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, 2159, 2794, 'Letter', ?12, ?13, ?14, "
            "?15, ?16, NULL, 'Default', 2, 0)",
            -1, &st, nullptr),
        db, "prepare");
  char buf[160];
  for (int i = 0; i < rows; ++i) {
    if (i % 10 == 0)
      sqlite3_bind_null(st, 1);
    else
      sqlite3_bind_int(st, 1, 1 + i % 50);
    if (i % 3 == 0)
      sqlite3_bind_null(st, 2);
    else
      sqlite3_bind_int(st, 2, 1 + i % 20);
    std::snprintf(buf, sizeof buf, "jdoe%03d", i % 300);
    sqlite3_bind_text(st, 3, buf, -1, SQLITE_TRANSIENT);
    std::snprintf(buf, sizeof buf, "WS-%05d", i % 900);
    sqlite3_bind_text(st, 4, buf, -1, SQLITE_TRANSIENT);
    std::snprintf(buf, sizeof buf, "Floor %d LaserJet", i % 40);
    sqlite3_bind_text(st, 5, buf, -1, SQLITE_TRANSIENT);
    std::snprintf(buf, sizeof buf, "IP_10.0.%d.%d", i % 40, i % 7);
    sqlite3_bind_text(st, 6, buf, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 7, i % 2 ? "WINWORD.EXE" : "AcroRd32.exe", -1, SQLITE_STATIC);
    if (i % 4 == 0)
      sqlite3_bind_null(st, 8);
    else
      sqlite3_bind_text(st, 8, "Plain", -1, SQLITE_STATIC);
    std::snprintf(buf, sizeof buf, "Quarterly report draft %d - final version.docx", i);
    sqlite3_bind_text(st, 9, buf, -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 10, 1 + i % 30);
    sqlite3_bind_int(st, 11, 1 + i % 3);
    sqlite3_bind_int(st, 12, i % 5 == 0);
    sqlite3_bind_int64(st, 13, 500 + i % 7);
    sqlite3_bind_int(st, 14, 1 + i % 2);
    std::snprintf(buf, sizeof buf, "2026-%02d-%02d %02d:%02d:%02d", 1 + i % 12, 1 + i % 28, i % 24,
                  i % 60, i % 59);
    sqlite3_bind_text(st, 15, buf, -1, SQLITE_TRANSIENT);
    if (i % 2)
      sqlite3_bind_null(st, 16);
    else
      sqlite3_bind_text(st, 16, "Cost centre 4711", -1, SQLITE_STATIC);
    Check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
}

// The raw engine's own fetch: each cell by its storage class into typed
// columns (integers, reals, text with end offsets, a null byte per cell).
struct RawColumn {
  std::vector<int64_t> numbers;
  std::string text;
  std::vector<uint32_t> ends;
  std::vector<uint8_t> nulls;
};

size_t RawFetch(sqlite3* db, const std::string& sql, size_t& bytes) {
  sqlite3_stmt* st = nullptr;
  Check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "raw prepare");
  const int n = sqlite3_column_count(st);
  std::vector<RawColumn> cols(n);
  size_t rows = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 0; c < n; ++c) {
      RawColumn& col = cols[c];
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_NULL:
          col.nulls.push_back(1);
          col.numbers.push_back(0);
          break;
        case SQLITE_INTEGER:
          col.nulls.push_back(0);
          col.numbers.push_back(sqlite3_column_int64(st, c));
          break;
        case SQLITE_FLOAT: {
          col.nulls.push_back(0);
          const double d = sqlite3_column_double(st, c);
          int64_t v;
          std::memcpy(&v, &d, 8);
          col.numbers.push_back(v);
          break;
        }
        default: {
          col.nulls.push_back(0);
          const char* s = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
          col.text.append(s, sqlite3_column_bytes(st, c));
          col.ends.push_back(static_cast<uint32_t>(col.text.size()));
          break;
        }
      }
    }
    ++rows;
  }
  sqlite3_finalize(st);
  bytes = 0;
  for (const RawColumn& c : cols) {
    // Text columns need no number slots: count what a typed holder keeps.
    bytes += c.nulls.size() + c.text.size() + c.ends.size() * 4 +
             (c.ends.empty() ? c.numbers.size() * 8 : 0);
  }
  return rows;
}

void FetchBenchmark(const std::string& cs, const std::string& path) {
  auto connection = std::make_shared<ado::Connection>();
  connection->SetConnectionString(cs);
  connection->Open();
  const std::string list = kx4::test::JobList();

  // The raw engine runs the same translated statement with the same
  // functions registered, so the difference is the data-access layer.
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  kx4::ado::sqlite::RegisterFunctions(raw);
  // The engine's own settings, as the data-access layer sets them.
  sqlite3_exec(raw, "PRAGMA cache_size=-32768; PRAGMA mmap_size=1073741824", nullptr, nullptr,
               nullptr);
  kx4::ado::sqlite::Catalog catalog;
  if (catalog.Load(raw) != SQLITE_OK) {
    std::fprintf(stderr, "catalog: %s\n", sqlite3_errmsg(raw));
    std::exit(1);
  }
  kx4::ado::sqlite::SqliteHooks hooks(catalog);
  kx4::ado::dialect::Translator translator(hooks);
  const std::string translated = translator.Translate(list).front().sql;

  double best_raw = 1e9, best_ours = 1e9;
  size_t raw_bytes = 0, rows = 0, our_bytes = 0;
  for (int round = 0; round < 3; ++round) {
    auto t0 = Clock::now();
    rows = RawFetch(raw, translated, raw_bytes);
    best_raw = std::min(best_raw, Seconds(Clock::now() - t0));

    t0 = Clock::now();
    ado::Command command;
    command.SetCommandText(list);
    command.SetActiveConnection(connection);
    ado::Recordset rs;
    ado::RecordsetInternal::SetCursorLocation(rs, ado::adUseClient);
    ado::RecordsetInternal::Open(rs, command, ado::adOpenStatic, ado::adLockReadOnly);
    best_ours = std::min(best_ours, Seconds(Clock::now() - t0));
    if (static_cast<size_t>(rs.RecordCount()) != rows) {
      std::fprintf(stderr, "row counts differ: %d vs %zu\n", rs.RecordCount(), rows);
      std::exit(1);
    }
    our_bytes = ado::RecordsetInternal::MemoryUsage(rs);
  }
  sqlite3_close(raw);
  std::printf("job list: %zu rows, raw fetch %.3f s, record set %.3f s\n", rows, best_raw,
              best_ours);
  std::printf("RATIO recordset_fetch_sqlite %.3f target >= 0.8\n", best_raw / best_ours);
  std::printf("raw holder bytes per row: %.1f\n", static_cast<double>(raw_bytes) / rows);
  std::printf("RATIO recordset_bytes_per_row %.1f target <= 400\n",
              static_cast<double>(our_bytes) / rows);
}

void TranslateBenchmark(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  kx4::ado::sqlite::Catalog catalog;
  if (catalog.Load(db) != SQLITE_OK) {
    std::fprintf(stderr, "catalog: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
  sqlite3_close(db);
  kx4::ado::sqlite::SqliteHooks hooks(catalog);
  kx4::ado::dialect::Translator translator(hooks);
  const auto steps = kx4::test::Catalogue();
  size_t bytes = 0;
  for (const auto& s : steps)
    bytes += s.sql.size();
  const int rounds = 2000;
  size_t sink = 0;
  const auto t0 = Clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const auto& s : steps)
      sink += translator.Translate(s.sql).size();
  const double us = Seconds(Clock::now() - t0) * 1e6 / (rounds * steps.size());
  const std::string list = kx4::test::JobList();
  const auto t1 = Clock::now();
  for (int r = 0; r < rounds; ++r)
    sink += translator.Translate(list).size();
  const double list_us = Seconds(Clock::now() - t1) * 1e6 / rounds;
  std::printf("translation: %zu statements, %.0f bytes on average; job list (%zu bytes) %.2f us\n",
              steps.size(), static_cast<double>(bytes) / steps.size(), list.size(), list_us);
  std::printf("RATIO translate_us_per_statement %.2f target <= 5\n", us + 0 * sink);
}

// Four processes save jobs for a few seconds; each counts its commits.
void FairnessBenchmark(const std::string& cs) {
  constexpr int kProcesses = 4;
  constexpr auto kRun = std::chrono::seconds(4);
  auto* counts = static_cast<std::atomic<long>*>(mmap(nullptr, sizeof(std::atomic<long>) * 8,
                                                      PROT_READ | PROT_WRITE,
                                                      MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  for (int i = 0; i < 8; ++i)
    new (&counts[i]) std::atomic<long>(0);
  std::vector<pid_t> children;
  const auto start = Clock::now() + std::chrono::milliseconds(300);
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      auto c = std::make_shared<ado::Connection>();
      c->SetConnectionString(cs);
      c->Open();
      const std::string insert = kx4::test::JobInsert("1", "N'agent" + std::to_string(p) + "'",
                                                      "N'Laser'", "N'LPT1:'", "N'Doc'", 1, 1);
      std::this_thread::sleep_until(start);
      long failures = 0;
      while (Clock::now() < start + kRun) {
        try {
          c->BeginTrans();
          ado::Command charge;
          charge.SetCommandText(
              "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = 1 AND "
              "UseQuota = 1");
          charge.Parameters().emplace_back("Par0", ado::adCurrency, ado::adParamInput, 0,
                                           Variant(Currency::FromTicks(500)));
          charge.SetActiveConnection(c);
          charge.Execute();
          ado::Command job;
          job.SetCommandText(insert);
          job.Parameters().emplace_back("Par0", ado::adCurrency, ado::adParamInput, 0,
                                        Variant(Currency::FromTicks(500)));
          job.SetActiveConnection(c);
          job.Execute();
          c->CommitTrans();
          counts[p].fetch_add(1);
        } catch (const kx4::RuntimeError& e) {
          ++failures;
          std::fprintf(stderr, "agent %d: %s\n", p, e.what());
          try {
            c->RollbackTrans();
          } catch (...) {
          }
        }
      }
      counts[4 + p].store(failures);
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children)
    waitpid(pid, nullptr, 0);
  long total = 0, least = -1, failures = 0;
  for (int p = 0; p < kProcesses; ++p) {
    total += counts[p].load();
    least = least < 0 ? counts[p].load() : std::min(least, counts[p].load());
    failures += counts[4 + p].load();
    std::printf("agent %d: %ld jobs\n", p, counts[p].load());
  }
  std::printf("four agents: %ld jobs in %lld s (%.0f per second), %ld failed\n", total,
              static_cast<long long>(kRun.count()), total / static_cast<double>(kRun.count()),
              failures);
  const double fair = total / static_cast<double>(kProcesses);
  std::printf("RATIO writer_fair_share_min %.3f target >= 0.5\n",
              failures ? 0.0 : (fair > 0 ? least / fair : 0.0));
}

}  // namespace

int main(int argc, char** argv) {
  int rows = 1000000;
  if (argc > 1)
    rows = std::atoi(argv[1]);
  char folder_template[] = "/tmp/kx4bench.XXXXXX";
  const std::string folder = mkdtemp(folder_template);
  const std::string path = folder + "/bench.db";
  const std::string cs = "Provider=SQLOLEDB;Data Source=(localdb);Database=" + path + ";";
  try {
    ado::CreateDatabase(cs);
    const auto t0 = Clock::now();
    Fill(path, rows);
    std::printf("generated %d jobs in %.2f s\n", rows, Seconds(Clock::now() - t0));
    TranslateBenchmark(path);
    FetchBenchmark(cs, path);
    FairnessBenchmark(cs);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "benchmark failed: %s\n", e.what());
    std::filesystem::remove_all(folder);
    return 1;
  }
  std::filesystem::remove_all(folder);
  return 0;
}
