// The PostgreSQL engine against raw libpq doing the same work on the same
// server: the print-job save path (quota charge and job insert in one
// transaction) and fetching job rows into a record set.  Needs the test
// server (KX4_TEST_PGHOST, KX4_TEST_PGPORT; scripts/test starts one).
#include <kx4data/Currency.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Recordset.h>

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/dataaccess/PgBenchDatabase.h"
#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"
#include "dataaccess/RecordsetInternal.h"
#include "dataaccess/Statements.h"
#include "dataaccess/postgres/PgDialect.h"

namespace {

using Clock = std::chrono::steady_clock;
using kx4::Currency;
using kx4::Variant;
namespace ado = kx4::ado;
using kx4::bench::Check;

constexpr int kRounds = 5;
constexpr int kJobsPerRound = 200;
constexpr int kFetchRows = 5000;
constexpr int kFetches = 10;

// The statements of PrintJob.Save, as the library writes them.
const char kQuota[] =
    "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = 1 AND UseQuota = 1";
const char kInsert[] =
    "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
    "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
    "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2, "
    "ConfigName, TrackStatus, PrintedToFile) VALUES (1, NULL, N'bob', N'PC-17', N'HP LaserJet', "
    "N'LPT1', N'WINWORD.EXE', N'Plain', N'Quarterly report.docx', 3, 2, 2159, 2794, N'Letter', "
    "-1, ?, 1, GETDATE(), NULL, N'dept 4', N'Default', 2, 0)";
// The same for PostgreSQL, written by hand.
const char kRawQuota[] =
    "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - $1 WHERE UserId = 1 AND UseQuota = 1";
const char kRawInsert[] =
    "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
    "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
    "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2, "
    "ConfigName, TrackStatus, PrintedToFile) VALUES (1, NULL, 'bob', 'PC-17', 'HP LaserJet', "
    "'LPT1', 'WINWORD.EXE', 'Plain', 'Quarterly report.docx', 3, 2, 2159, 2794, 'Letter', "
    "-1, $1, 1, LOCALTIMESTAMP(0), NULL, 'dept 4', 'Default', 2, 0)";
double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void Execute(const std::shared_ptr<ado::Connection>& c, const char* sql,
             std::vector<ado::Parameter> params = {}) {
  ado::Command command;
  command.SetCommandText(sql);
  command.Parameters() = std::move(params);
  command.SetActiveConnection(c);
  command.Execute();
}

ado::Parameter Money(const char* text) {
  return ado::Parameter("Par0", ado::adCurrency, ado::adParamInput, 0,
                        Variant(Currency::Parse(text)));
}

double SaveJobsThroughEngine(const std::shared_ptr<ado::Connection>& c, int jobs) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < jobs; ++i) {
    c->BeginTrans();
    Execute(c, kQuota, {Money("0.30")});
    Execute(c, kInsert, {Money("0.05")});
    c->CommitTrans();
  }
  return Seconds(Clock::now() - start);
}

double SaveJobsRaw(PGconn* conn, int jobs) {
  const Clock::time_point start = Clock::now();
  const Oid numeric[] = {1700};
  for (int i = 0; i < jobs; ++i) {
    Check(PQexec(conn, "BEGIN"), "BEGIN");
    const char* cost[] = {"0.3000"};
    Check(PQexecParams(conn, kRawQuota, 1, numeric, cost, nullptr, nullptr, 0), "quota");
    const char* unit[] = {"0.0500"};
    Check(PQexecParams(conn, kRawInsert, 1, numeric, unit, nullptr, nullptr, 0), "insert");
    Check(PQexec(conn, "COMMIT"), "COMMIT");
  }
  return Seconds(Clock::now() - start);
}

double FetchThroughEngine(const std::shared_ptr<ado::Connection>& c, const std::string& list,
                          size_t& rows) {
  const Clock::time_point start = Clock::now();
  ado::Command command;
  command.SetCommandText(list);
  command.SetActiveConnection(c);
  ado::Recordset rs;
  ado::RecordsetInternal::SetCursorLocation(rs, ado::adUseClient);
  ado::RecordsetInternal::Open(rs, command, ado::adOpenStatic, ado::adLockReadOnly);
  rows = static_cast<size_t>(rs.RecordCount());
  return Seconds(Clock::now() - start);
}

// A client of raw libpq that keeps the rows as the record set does: by
// column, numbers converted, text in one buffer per column.
struct RawColumn {
  bool number = false;
  std::vector<uint8_t> nulls;
  std::vector<int64_t> numbers;
  std::string text;
  std::vector<uint32_t> ends;
};

double FetchRaw(PGconn* conn, const std::string& translated, size_t& rows) {
  const Clock::time_point start = Clock::now();
  PGresult* result =
      PQexecParams(conn, translated.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "fetch: %s", PQresultErrorMessage(result));
    std::exit(1);
  }
  const int tuples = PQntuples(result);
  const int fields = PQnfields(result);
  std::vector<RawColumn> columns(static_cast<size_t>(fields));
  for (int f = 0; f < fields; ++f) {
    const Oid type = PQftype(result, f);
    columns[f].number = type == 20 || type == 21 || type == 23;
  }
  for (int r = 0; r < tuples; ++r) {
    for (int f = 0; f < fields; ++f) {
      RawColumn& column = columns[f];
      const bool null = PQgetisnull(result, r, f);
      column.nulls.push_back(null);
      if (column.number) {
        column.numbers.push_back(null ? 0 : std::strtoll(PQgetvalue(result, r, f), nullptr, 10));
      } else {
        if (!null) {
          column.text.append(PQgetvalue(result, r, f), PQgetlength(result, r, f));
        }
        column.ends.push_back(static_cast<uint32_t>(column.text.size()));
      }
    }
  }
  PQclear(result);
  rows = static_cast<size_t>(tuples);
  return Seconds(Clock::now() - start);
}

}  // namespace

int main() {
  try {
    const kx4::bench::PgBenchDatabase db("postgres_bench");
    PGconn* raw = db.Raw();
    auto c = std::make_shared<ado::Connection>();
    c->SetConnectionString(db.ConnectionString());
    c->Open();
    Execute(c,
            "INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, "
            "AdminSecurity, ReportSecurity) VALUES (N'p', N'bench', -1, 1000000, -1, 0, 0)");

    // Warm both, then alternate rounds so that drift hits both alike.
    SaveJobsThroughEngine(c, 20);
    SaveJobsRaw(raw, 20);
    double engine = 0, direct = 0;
    for (int round = 0; round < kRounds; ++round) {
      engine += SaveJobsThroughEngine(c, kJobsPerRound);
      direct += SaveJobsRaw(raw, kJobsPerRound);
    }
    const int jobs = kRounds * kJobsPerRound;
    std::printf("job save: engine %.1f us/job, raw libpq %.1f us/job\n", engine / jobs * 1e6,
                direct / jobs * 1e6);
    std::printf("RATIO engine_job_save_postgres %.2f target >= 0.8\n", direct / engine);

    // The flag trigger's share of an insert: a job with no flag set skips it.
    const Oid numeric[] = {1700};
    const char* unit[] = {"0.0500"};
    std::string unflagged = kRawInsert;
    unflagged.replace(unflagged.find("-1, $1"), 2, "0");
    double with_trigger = 0, without = 0;
    for (int round = 0; round < kRounds; ++round) {
      Clock::time_point start = Clock::now();
      Check(PQexec(raw, "BEGIN"), "BEGIN");
      for (int i = 0; i < kJobsPerRound; ++i) {
        Check(PQexecParams(raw, kRawInsert, 1, numeric, unit, nullptr, nullptr, 0), "insert");
      }
      Check(PQexec(raw, "COMMIT"), "COMMIT");
      with_trigger += Seconds(Clock::now() - start);
      start = Clock::now();
      Check(PQexec(raw, "BEGIN"), "BEGIN");
      for (int i = 0; i < kJobsPerRound; ++i) {
        Check(PQexecParams(raw, unflagged.c_str(), 1, numeric, unit, nullptr, nullptr, 0),
              "insert");
      }
      Check(PQexec(raw, "COMMIT"), "COMMIT");
      without += Seconds(Clock::now() - start);
    }
    std::printf("flag trigger: insert with a flag set %.1f us, without %.1f us\n",
                with_trigger / jobs * 1e6, without / jobs * 1e6);

    // Job rows for the fetch, listed by the library's job list statement.
    Check(PQexec(raw, "BEGIN"), "BEGIN");
    PGresult* count = PQexec(raw, "SELECT COUNT(*) FROM tblPrintJobs");
    const int have = std::atoi(PQgetvalue(count, 0, 0));
    PQclear(count);
    for (int i = have; i < kFetchRows; ++i) {
      Check(PQexecParams(raw, kRawInsert, 1, numeric, unit, nullptr, nullptr, 0), "insert");
    }
    Check(PQexec(raw, "COMMIT"), "COMMIT");
    Check(PQexec(raw, "ANALYZE"), "ANALYZE");
    const std::string list = kx4::test::JobList();
    kx4::ado::pg::PgTranslator translator;
    const std::string translated = translator.Translate(list, false).statements.front().text;
    double best_engine = 1e9, best_raw = 1e9;
    size_t engine_rows = 0, raw_rows = 0;
    for (int i = 0; i < kFetches; ++i) {
      best_engine = std::min(best_engine, FetchThroughEngine(c, list, engine_rows));
      best_raw = std::min(best_raw, FetchRaw(raw, translated, raw_rows));
    }
    if (engine_rows != raw_rows) {
      std::fprintf(stderr, "row counts differ: %zu vs %zu\n", engine_rows, raw_rows);
      return 1;
    }
    std::printf("job list of %zu rows: record set %.2f ms, raw libpq %.2f ms\n", raw_rows,
                best_engine * 1e3, best_raw * 1e3);
    std::printf("RATIO recordset_fetch_postgres %.2f target >= 0.8\n", best_raw / best_engine);

    c->Close();
  } catch (const kx4::RuntimeError& e) {
    std::fprintf(stderr, "postgres_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
