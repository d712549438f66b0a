// What the benchmarks against the raw engines share: timing, the database of
// generated jobs each engine gets, and a session established on it the way
// a product install reaches its own.
#ifndef KX4DATA_BENCH_SUPPORT_BENCHSETUP_H_
#define KX4DATA_BENCH_SUPPORT_BENCHSETUP_H_

#include <kx4data/KXData.h>
#include <kx4data/ado/Database.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/JobGenerator.h"
#include "bench/support/RawEngines.h"
#include "session/clsConnectionVariables.h"
#include "support/TempDir.h"

namespace kx4::bench {

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

inline void Succeeds(const KXErrorPtr& error, const char* what) {
  Require(!error, std::string(what) + ": " + (error ? error->Message() : ""));
}

// The command line [jobs] [rounds] [sqlite|postgres]: by default 1,000,000
// jobs of which the latest tenth are not accounted, 3 rounds, both engines.
struct Arguments {
  JobSet set;
  int rounds = 3;
  std::string only;  // one engine, or empty for both
};

inline Arguments ParseArguments(int argc, char** argv) {
  auto number = [&](int i, int fallback) {
    const int n = argc > i ? std::atoi(argv[i]) : 0;
    return n > 0 ? n : fallback;
  };
  Arguments arguments;
  arguments.set.jobs = number(1, 1'000'000);
  arguments.set.not_accounted = arguments.set.jobs / 10;
  arguments.rounds = number(2, 3);
  arguments.only = argc > 3 ? argv[3] : "";
  return arguments;
}

struct Target {
  std::string engine;  // sqlite, postgres
  std::string server;  // the Data Source value
  std::string database;
};

// A private hive, log and data folder for the run; the raw side opens the
// same files.
class Scratch {
 public:
  Scratch() {
    setenv("KX4_HIVE_DIR", dir_.Path().c_str(), 1);
    setenv("KX4_LOG_DIR", dir_.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", dir_.Path().c_str(), 1);
  }
  // Where the embedded engine keeps `database`.
  std::string SqlitePath(const std::string& database) const {
    return dir_.Path() + "/kestrix/" + database + ".db";
  }

 private:
  test::TempDir dir_;
};

// Creates the target's database anew, fills it through `generate` and stores
// the settings a session connects with; returns the connection string.
inline std::string PrepareDatabase(const Target& target, const JobSet& set,
                                   const std::function<void()>& generate) {
  const std::string cs = "Provider=SQLOLEDB;Data Source=" + target.server +
                         ";Database=" + target.database + ";Trusted_Connection=Yes;";
  ado::DropDatabase(cs);
  ado::CreateDatabase(cs);
  const Clock::time_point start = Clock::now();
  generate();
  std::printf("# %s: %d jobs generated in %.1f s\n", target.engine.c_str(), set.jobs, Since(start));
  clsConnectionVariables settings;
  settings.SetServer(target.server);
  settings.SetDatabase(target.database);
  settings.SetNTAuthenticate(true);
  settings.SetConnectTimeout(15);
  settings.Store(false);
  return cs;
}

// A benchmark's main: in a scratch folder, `run(target, generate, open)` on
// the embedded engine, then on the test server's PostgreSQL
// (KX4_TEST_PGHOST, KX4_TEST_PGPORT) when there is one, or on the one engine
// the command line names.  `generate` fills the engine's database named
// `database` (on PostgreSQL with the process id appended); `open` returns
// the raw side's connection to it, a RawSqlite or a RawPostgres.  Returns the
// exit status.
template <typename Run>
int RunOnEngines(const char* bench, const std::string& database, const Arguments& arguments,
                 Run&& run) {
  try {
    const Scratch scratch;
    if (arguments.only != "postgres") {
      const std::string path = scratch.SqlitePath(database);
      run(Target{"sqlite", "(localdb)", database},
          std::function<void()>([&] { GenerateSqlite(path, arguments.set); }),
          std::function<std::unique_ptr<RawSqlite>()>(
              [&] { return std::make_unique<RawSqlite>(path); }));
    }
    if (arguments.only == "sqlite")
      return 0;
    const char* host_env = std::getenv("KX4_TEST_PGHOST");
    if (!host_env || !*host_env) {
      std::printf("%s postgres: KX4_TEST_PGHOST is not set; not measured\n", bench);
      return 0;
    }
    const std::string host = host_env;
    const char* port_env = std::getenv("KX4_TEST_PGPORT");
    const std::string port = port_env ? port_env : "";
    const Target pg{"postgres", port.empty() ? host : host + "," + port,
                    database + "_" + std::to_string(getpid())};
    run(pg,
        std::function<void()>([&] { GeneratePostgres(host, port, pg.database, arguments.set); }),
        std::function<std::unique_ptr<RawPostgres>()>(
            [&] { return std::make_unique<RawPostgres>(host, port, pg.database); }));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s_bench: %s\n", bench, e.what());
    return 1;
  }
  return 0;
}

}  // namespace kx4::bench

#endif  // KX4DATA_BENCH_SUPPORT_BENCHSETUP_H_
