// The raw engines the benchmarks compare the library with: statements
// through sqlite3 and libpq directly, translated from the SQL Server dialect
// by the engine's own translator (so both sides run the same text), and rows
// fetched into a compact column holder as the record set keeps them.
#ifndef KX4DATA_BENCH_SUPPORT_RAWENGINES_H_
#define KX4DATA_BENCH_SUPPORT_RAWENGINES_H_

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "dataaccess/dialect/Catalogue.h"
#include "dataaccess/dialect/Dialect.h"
#include "dataaccess/postgres/PgDialect.h"
#include "dataaccess/postgres/PgValues.h"
#include "dataaccess/sqlite/SqliteConnection.h"
#include "dataaccess/sqlite/SqliteFunctions.h"

namespace kx4::bench {

// One column of fetched rows: numbers in a vector, text in one buffer with
// end offsets, a null flag per cell.
struct RawColumn {
  std::vector<uint8_t> nulls;
  std::vector<int64_t> numbers;
  std::string text;
  std::vector<uint32_t> ends;

  void AddNull() {
    nulls.push_back(1);
    ends.push_back(static_cast<uint32_t>(text.size()));
  }
  void AddNumber(int64_t value) {
    nulls.push_back(0);
    numbers.push_back(value);
  }
  void AddText(const char* data, size_t size) {
    nulls.push_back(0);
    text.append(data, size);
    ends.push_back(static_cast<uint32_t>(text.size()));
  }
};

struct RawRows {
  std::vector<RawColumn> columns;
  size_t rows = 0;
};

inline void Require(bool ok, const std::string& what) {
  if (!ok)
    throw std::runtime_error(what);
}

// A connection of its own to a database file, with the functions, collation
// and settings the library's engine gives its connections.
class RawSqlite {
 public:
  explicit RawSqlite(const std::string& path) {
    Require(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK,
            "sqlite open " + path);
    sqlite3_busy_timeout(db_, 10000);
    Require(ado::sqlite::RegisterFunctions(db_) == SQLITE_OK, "sqlite functions");
    Exec(
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-32768; "
        "PRAGMA mmap_size=1073741824");
    Require(catalog_.Load(db_) == SQLITE_OK, "sqlite catalog");
  }
  ~RawSqlite() {
    for (auto& [sql, st] : prepared_)
      sqlite3_finalize(st);
    sqlite3_close_v2(db_);
  }
  RawSqlite(const RawSqlite&) = delete;
  RawSqlite& operator=(const RawSqlite&) = delete;

  // The one statement of `dialect_sql` as this engine runs it.
  std::string Translate(const std::string& dialect_sql) {
    ado::sqlite::SqliteHooks hooks(catalog_);
    ado::dialect::Translator translator(hooks);
    return translator.Translate(dialect_sql).front().sql;
  }
  void Exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    const std::string why = message ? message : "";
    sqlite3_free(message);
    Require(rc == SQLITE_OK, "sqlite: " + why);
  }
  // Prepared once and reused, as the library's engine does; `params` bound
  // as text to the "?" markers in order.
  RawRows Fetch(const std::string& sql, const std::vector<std::string>& params = {}) {
    sqlite3_stmt*& st = prepared_[sql];
    if (!st)
      st = Prepare(sql);
    for (size_t p = 0; p < params.size(); ++p) {
      sqlite3_bind_text(st, static_cast<int>(p + 1), params[p].data(),
                        static_cast<int>(params[p].size()), SQLITE_STATIC);
    }
    RawRows rows;
    rows.columns.resize(static_cast<size_t>(sqlite3_column_count(st)));
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      for (int c = 0; c < static_cast<int>(rows.columns.size()); ++c) {
        RawColumn& column = rows.columns[static_cast<size_t>(c)];
        switch (sqlite3_column_type(st, c)) {
          case SQLITE_NULL:
            column.AddNull();
            break;
          case SQLITE_INTEGER:
            column.AddNumber(sqlite3_column_int64(st, c));
            break;
          case SQLITE_FLOAT: {
            const double d = sqlite3_column_double(st, c);
            int64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            column.AddNumber(bits);
            break;
          }
          default:
            column.AddText(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                           static_cast<size_t>(sqlite3_column_bytes(st, c)));
        }
      }
      ++rows.rows;
    }
    const std::string why = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
    sqlite3_reset(st);
    Require(rc == SQLITE_DONE, "sqlite step: " + why);
    return rows;
  }
  // Rows a statement stepped through in full scans of a table: 0 when every
  // table it reads was searched through an index.
  int64_t FullScanSteps(const std::string& sql) {
    sqlite3_stmt* st = Prepare(sql);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    const int64_t steps = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0);
    Finish(st, rc);
    return steps;
  }
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    Require(sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) ==
                SQLITE_OK,
            std::string("sqlite prepare: ") + sqlite3_errmsg(db_));
    return st;
  }
  void Finish(sqlite3_stmt* st, int rc) {
    const std::string why = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    Require(rc == SQLITE_DONE, "sqlite step: " + why);
  }

  sqlite3* db_ = nullptr;
  ado::sqlite::Catalog catalog_;
  std::unordered_map<std::string, sqlite3_stmt*> prepared_;
};

// One libpq connection, the whole result in one round trip (as the library's
// own fetch), numbers converted and text copied into the column holder.
class RawPostgres {
 public:
  RawPostgres(const std::string& host, const std::string& port, const std::string& database) {
    const char* keys[] = {"host", "port", "dbname", nullptr};
    const char* values[] = {host.c_str(), port.empty() ? nullptr : port.c_str(), database.c_str(),
                            nullptr};
    pg_ = PQconnectdbParams(keys, values, 0);
    Require(PQstatus(pg_) == CONNECTION_OK, std::string("libpq: ") + PQerrorMessage(pg_));
    LoadCatalogue();
  }
  ~RawPostgres() { PQfinish(pg_); }
  RawPostgres(const RawPostgres&) = delete;
  RawPostgres& operator=(const RawPostgres&) = delete;

  std::string Translate(const std::string& dialect_sql) {
    return translator_.Translate(dialect_sql, false).statements.front().text;
  }
  void Exec(const std::string& sql) { PQclear(Run(sql)); }
  // `params` go as text of a type the server infers, to $1, $2, ...
  RawRows Fetch(const std::string& sql, const std::vector<std::string>& params = {}) {
    PGresult* result = Run(sql, params);
    RawRows rows;
    const int fields = PQnfields(result);
    rows.columns.resize(static_cast<size_t>(fields));
    std::vector<bool> number(static_cast<size_t>(fields));
    for (int f = 0; f < fields; ++f) {
      const Oid type = PQftype(result, f);
      number[static_cast<size_t>(f)] = type == 20 || type == 21 || type == 23;  // int8, 2, 4
    }
    rows.rows = static_cast<size_t>(PQntuples(result));
    for (int r = 0; r < static_cast<int>(rows.rows); ++r) {
      for (int f = 0; f < fields; ++f) {
        RawColumn& column = rows.columns[static_cast<size_t>(f)];
        if (PQgetisnull(result, r, f))
          column.AddNull();
        else if (number[static_cast<size_t>(f)])
          column.AddNumber(std::strtoll(PQgetvalue(result, r, f), nullptr, 10));
        else
          column.AddText(PQgetvalue(result, r, f), static_cast<size_t>(PQgetlength(result, r, f)));
      }
    }
    PQclear(result);
    return rows;
  }
  // The plan of `sql` as EXPLAIN prints it, one line per node.
  std::string Explain(const std::string& sql, const std::vector<std::string>& params = {}) {
    PGresult* result = Run("EXPLAIN " + sql, params);
    std::string plan;
    for (int r = 0; r < PQntuples(result); ++r)
      plan += std::string(PQgetvalue(result, r, 0)) + "\n";
    PQclear(result);
    return plan;
  }
  PGconn* Handle() const { return pg_; }

 private:
  PGresult* Run(const std::string& sql, const std::vector<std::string>& params = {}) {
    std::vector<const char*> values;
    for (const std::string& p : params)
      values.push_back(p.c_str());
    PGresult* result = params.empty()
                           ? PQexec(pg_, sql.c_str())
                           : PQexecParams(pg_, sql.c_str(), static_cast<int>(values.size()),
                                          nullptr, values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      const std::string why = PQresultErrorMessage(result);
      PQclear(result);
      Require(false, "libpq: " + why);
    }
    return result;
  }

  // The stored columns' kinds, as the engine reads them, so that statements
  // translate as the engine translates them (names by their keys above all).
  void LoadCatalogue() {
    PGresult* result =
        Run("SELECT c.relname, a.attname, COALESCE(NULLIF(t.typbasetype, 0), a.atttypid), "
            "CASE WHEN t.typtype = 'd' THEN t.typtypmod ELSE a.atttypmod END, "
            "t.typtype = 'd' AND t.typname = 'flag', t.typtype = 'd' AND t.typname = 'kx4_ci' "
            "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
            "JOIN pg_namespace n ON n.oid = c.relnamespace JOIN pg_type t ON t.oid = a.atttypid "
            "WHERE c.relkind IN ('r', 'v') AND a.attnum > 0 AND NOT a.attisdropped "
            "AND n.nspname = 'public'");
    for (int r = 0; r < PQntuples(result); ++r) {
      const bool flag = PQgetvalue(result, r, 4)[0] == 't';
      const int32_t ado = ado::pg::AdoTypeFor(
          static_cast<unsigned>(std::strtoul(PQgetvalue(result, r, 2), nullptr, 10)),
          std::atoi(PQgetvalue(result, r, 3)), flag);
      catalogue_.Add(PQgetvalue(result, r, 0), PQgetvalue(result, r, 1),
                     PQgetvalue(result, r, 5)[0] == 't' ? ado::dialect::ValueKind::kTextCi
                                                        : ado::dialect::KindOfAdoType(ado),
                     flag);
    }
    PQclear(result);
    translator_.SetCatalogue(&catalogue_);
  }

  PGconn* pg_ = nullptr;
  ado::dialect::Catalogue catalogue_;
  ado::pg::PgTranslator translator_;
};

}  // namespace kx4::bench

#endif  // KX4DATA_BENCH_SUPPORT_RAWENGINES_H_
