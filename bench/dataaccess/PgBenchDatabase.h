// What the benchmarks that compare the PostgreSQL engine with raw libpq
// share: a throwaway database made by the library on the test server
// (KX4_TEST_PGHOST, KX4_TEST_PGPORT; scripts/bench starts one) and a raw
// libpq connection to it.
#ifndef KX4DATA_BENCH_DATAACCESS_PGBENCHDATABASE_H_
#define KX4DATA_BENCH_DATAACCESS_PGBENCHDATABASE_H_

#include <kx4data/ado/Database.h>

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kx4::bench {

// Exits the program when a raw statement fails; clears the result.
inline void Check(PGresult* result, const char* what) {
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "%s: %s", what, PQresultErrorMessage(result));
    std::exit(1);
  }
  PQclear(result);
}

class PgBenchDatabase {
 public:
  // Exits with 2 when no test server is named, with 1 when the raw
  // connection fails; throws RuntimeError when the library cannot create it.
  explicit PgBenchDatabase(const char* program) {
    const char* host = std::getenv("KX4_TEST_PGHOST");
    if (!host || !*host) {
      std::fprintf(stderr,
                   "%s: KX4_TEST_PGHOST is not set; run it under a server started by "
                   "scripts/pg-server\n",
                   program);
      std::exit(2);
    }
    const char* port_env = std::getenv("KX4_TEST_PGPORT");
    const std::string port = port_env ? port_env : "5432";
    const std::string name = "kx4bench_" + std::to_string(getpid());
    connection_string_ = "Provider=SQLOLEDB;Data Source=" + std::string(host) + "," + port +
                         ";Database=" + name + ";Trusted_Connection=Yes;";
    ado::CreateDatabase(connection_string_);
    const char* keys[] = {"host", "port", "dbname", nullptr};
    const char* values[] = {host, port.c_str(), name.c_str(), nullptr};
    raw_ = PQconnectdbParams(keys, values, 0);
    if (PQstatus(raw_) != CONNECTION_OK) {
      std::fprintf(stderr, "%s: raw connect: %s", program, PQerrorMessage(raw_));
      std::exit(1);
    }
  }
  ~PgBenchDatabase() {
    PQfinish(raw_);
    try {
      ado::DropDatabase(connection_string_);
    } catch (...) {
      // A benchmark's leftover database is no reason to fail the run.
    }
  }
  PgBenchDatabase(const PgBenchDatabase&) = delete;
  PgBenchDatabase& operator=(const PgBenchDatabase&) = delete;

  const std::string& ConnectionString() const { return connection_string_; }
  PGconn* Raw() const { return raw_; }

 private:
  std::string connection_string_;
  PGconn* raw_ = nullptr;
};

}  // namespace kx4::bench

#endif  // KX4DATA_BENCH_DATAACCESS_PGBENCHDATABASE_H_
