// What the library's case table costs PostgreSQL on the job list of
// 1,000,000 jobs, whose select list upper-cases three columns and lower-cases
// one.  Raw libpq reads every value of
//   - the list as the engine sends it: the columns unfolded, folded by the
//     client with the library's table, as the engine's record set does;
//   - the list with the server's built-in upper()/lower() in the C collation
//     (ASCII only: what the raw engine offers without the library's table);
//   - the list with the table's SQL functions folding on the server.
// Texts are realistic: mostly ASCII, with a share of printers and network
// users beyond it.  Needs the test server (KX4_TEST_PGHOST, KX4_TEST_PGPORT;
// scripts/bench starts one).
#include <kx4data/RuntimeError.h>

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/dataaccess/PgBenchDatabase.h"
#include "dataaccess/Statements.h"
#include "dataaccess/postgres/PgDialect.h"
#include "variant/Utf8.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace ado = kx4::ado;
using kx4::bench::Check;

constexpr int kJobs = 1000000;
constexpr int kFetches = 3;

// Seconds to run `sql` and read every value of its rows, the columns that
// `folds` names folded here; `bytes` counts what was read.
double Fetch(PGconn* conn, const std::string& sql,
             const std::vector<ado::dialect::ResultFold>& folds, size_t& bytes) {
  const Clock::time_point start = Clock::now();
  PGresult* result = PQexec(conn, sql.c_str());
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "fetch: %s", PQresultErrorMessage(result));
    std::exit(1);
  }
  bytes = 0;
  const int fields = PQnfields(result);
  for (int r = 0; r < PQntuples(result); ++r) {
    for (int f = 0; f < fields; ++f) {
      const std::string_view value(PQgetvalue(result, r, f),
                                   static_cast<size_t>(PQgetlength(result, r, f)));
      const auto fold = static_cast<size_t>(f) < folds.size() ? folds[static_cast<size_t>(f)]
                                                              : ado::dialect::ResultFold::kNone;
      if (fold == ado::dialect::ResultFold::kUpper)
        bytes += kx4::UpperText(value).size();
      else if (fold == ado::dialect::ResultFold::kLower)
        bytes += kx4::LowerText(value).size();
      else
        bytes += value.size();
    }
  }
  PQclear(result);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Jobs of one year: 20 printers (3 named beyond ASCII), 50 users (1 in 10
// beyond ASCII), a dozen programs.
const char kFill[] =
    "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
    "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
    "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, UserDefined2, "
    "ConfigName, TrackStatus, PrintedToFile) "
    "SELECT g % 50 + 1, NULL, "
    "CASE WHEN g % 50 < 5 THEN (ARRAY['jürgen', 'zoë', 'łukasz', 'andré', 'søren'])[g % 5 + 1] "
    "  ELSE (ARRAY['bob', 'alice', 'mmiller', 'jsmith', 'kwong'])[g % 5 + 1] END || (g % 50), "
    "'PC-' || (g % 300), "
    "(ARRAY['HP LaserJet 4250', 'Kyocera FS-2100', 'Drucker Küche', 'Canon iR-ADV C5535', "
    "  'Brother HL-L8360', 'Büro 2. OG', 'Xerox VersaLink', 'Ricoh MP C3004', 'Epson WF-C5790', "
    "  'Lexmark MS821', 'HP Color 553', 'Konica C258', 'Sharp MX-3071', 'Oki C834', "
    "  'Plotter Δ-1', 'HP DesignJet', 'Kyocera TASKalfa', 'Canon LBP', 'Samsung M4070', "
    "  'Dell S2830'])[g % 20 + 1], "
    "(ARRAY['LPT1:', 'IP_10.0.0.' || (g % 20), '\\\\srv01\\print' || (g % 20), 'USB001', "
    "  'WSD-' || (g % 20)])[g % 5 + 1], "
    "(ARRAY['WINWORD.EXE', 'EXCEL.EXE', 'AcroRd32.exe', 'chrome.exe', 'OUTLOOK.EXE', "
    "  'firefox.exe', 'POWERPNT.EXE', 'notepad.exe', 'msedge.exe', 'Acrobat.exe', "
    "  'explorer.exe', 'SAPlogon.exe'])[g % 12 + 1], "
    "'Letter', 'Quarterly report ' || g || '.docx', g % 9 + 1, g % 3 + 1, 2159, 2794, 'A4', "
    "g % 2, 0.05, 1, TIMESTAMP '2026-01-01' + (g * interval '31 seconds'), "
    "'dept ' || (g % 12), NULL, 'Default', 2, 0 FROM generate_series(1, $1) g";

}  // namespace

int main() {
  try {
    const kx4::bench::PgBenchDatabase db("case_rules_bench");
    PGconn* raw = db.Raw();
    const std::string jobs = std::to_string(kJobs);
    const char* count[] = {jobs.c_str()};
    Check(PQexecParams(raw, kFill, 1, nullptr, count, nullptr, nullptr, 0), "fill");
    Check(PQexec(raw, "VACUUM ANALYZE tblPrintJobs"), "analyze");

    ado::pg::PgTranslator translator;
    const ado::pg::PgStatement engine =
        translator.Translate(kx4::test::JobList(), false).statements.front();
    // The same list with the server folding, by the table and built in;
    // qualified names, which the translation keeps as they stand.
    const auto qualified = [&](const char* schema, const char* prefix) {
      const std::string upper = std::string(schema) + "." + prefix + "upper(";
      const std::string lower = std::string(schema) + "." + prefix + "lower(";
      return translator
          .Translate(Replace(Replace(kx4::test::JobList(), "UPPER(", upper), "LOWER(", lower),
                     false)
          .statements.front()
          .text;
    };
    const std::string table_text = qualified("public", "kx4_");
    const std::string builtin_text = qualified("pg_catalog", "");
    double best_engine = 1e9, best_builtin = 1e9, best_table = 1e9;
    size_t engine_bytes = 0, builtin_bytes = 0, table_bytes = 0;
    for (int i = 0; i < kFetches; ++i) {
      best_builtin = std::min(best_builtin, Fetch(raw, builtin_text, {}, builtin_bytes));
      best_engine = std::min(best_engine, Fetch(raw, engine.text, engine.folds, engine_bytes));
      best_table = std::min(best_table, Fetch(raw, table_text, {}, table_bytes));
    }
    if (engine_bytes != table_bytes) {
      std::fprintf(stderr, "the client's folding differs from the server's: %zu vs %zu bytes\n",
                   engine_bytes, table_bytes);
      return 1;
    }
    std::printf(
        "job list of %d jobs: folded by the client %.0f ms, by the server with the "
        "table %.0f ms, built-in ASCII folding %.0f ms\n",
        kJobs, best_engine * 1e3, best_table * 1e3, best_builtin * 1e3);
    std::printf("RATIO case_rules_job_list_postgres %.2f target >= 0.8\n",
                best_builtin / best_engine);

    // The folding alone, without sending rows.
    const std::string fold_library =
        "SELECT sum(length(kx4_upper(ProcessName)) + length(kx4_upper(PrinterName)) + "
        "length(kx4_upper(PrinterPort)) + length(kx4_lower(NetworkUser))) FROM tblPrintJobs";
    const std::string fold_builtin =
        Replace(Replace(fold_library, "kx4_upper(", "upper("), "kx4_lower(", "lower(");
    size_t ignored = 0;
    double fold_l = 1e9, fold_b = 1e9;
    for (int i = 0; i < kFetches; ++i) {
      fold_b = std::min(fold_b, Fetch(raw, fold_builtin, {}, ignored));
      fold_l = std::min(fold_l, Fetch(raw, fold_library, {}, ignored));
    }
    std::printf(
        "folding four columns of %d jobs on the server: library %.0f ms, built-in %.0f ms\n", kJobs,
        fold_l * 1e3, fold_b * 1e3);
  } catch (const kx4::RuntimeError& e) {
    std::fprintf(stderr, "case_rules_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
