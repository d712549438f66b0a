// A statement through an established session against the same statement on
// the raw engine connection, in one run: a single-row select and a one-row
// update.  Also a statement on an idle session, which takes a pooled
// connection and checks the version around every statement, against the same
// statement on the established session.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <kx4data/KXData.h>
#include <kx4data/ado/Database.h>
#include <kx4data/ado/Recordset.h>

#include "dataaccess/Engine.h"
#include "dataaccess/ResultTable.h"
#include "session/KXDataInternal.h"
#include "session/clsConnectionVariables.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSelect =
    "SELECT ApplicationId, Name, Description, TrackOptionId FROM tblApplications "
    "WHERE ApplicationId = ?";
constexpr const char* kUpdate =
    "UPDATE tblApplications SET TrackOptionId = ? WHERE ApplicationId = ?";

struct Comparison {
  double raw_us;
  double session_us;
  double ratio;        // raw / session, the median of the rounds
  double chunk_ratio;  // the same, the median of the chunks: a chunk the
                       // scheduler interrupted counts once, not for a round
};

// The two sides alternate in short chunks, so that a busy disk or core hits
// both alike while each keeps its caches warm.
Comparison Compare(int rounds, int ops, const std::function<void(int)>& raw,
                   const std::function<void(int)>& session) {
  constexpr int kChunk = 50;
  std::vector<double> ratios, chunk_ratios;
  Comparison best{1e300, 1e300, 0, 0};
  int n = 0;
  for (int r = 0; r < rounds; ++r) {
    std::chrono::duration<double, std::micro> raw_spent{0}, session_spent{0};
    for (int done = 0; done < ops; done += kChunk) {
      const int chunk = std::min(kChunk, ops - done);
      auto t0 = Clock::now();
      for (int i = 0; i < chunk; ++i)
        raw(n + i);
      auto t1 = Clock::now();
      for (int i = 0; i < chunk; ++i)
        session(n + i);
      auto t2 = Clock::now();
      n += chunk;
      raw_spent += t1 - t0;
      session_spent += t2 - t1;
      chunk_ratios.push_back(std::chrono::duration<double>(t1 - t0).count() /
                             std::chrono::duration<double>(t2 - t1).count());
    }
    ratios.push_back(raw_spent.count() / session_spent.count());
    best.raw_us = std::min(best.raw_us, raw_spent.count() / ops);
    best.session_us = std::min(best.session_us, session_spent.count() / ops);
  }
  std::sort(ratios.begin(), ratios.end());
  best.ratio = ratios[ratios.size() / 2];
  std::sort(chunk_ratios.begin(), chunk_ratios.end());
  best.chunk_ratio = chunk_ratios[chunk_ratios.size() / 2];
  return best;
}

std::vector<kx4::ado::Parameter> Params(std::vector<kx4::Variant> values) {
  std::vector<kx4::ado::Parameter> params;
  for (size_t i = 0; i < values.size(); ++i)
    params.emplace_back("Par" + std::to_string(i), kx4::ado::adInteger, kx4::ado::adParamInput, 0,
                        values[i]);
  return params;
}

void Fail(const std::string& what, const kx4::KXErrorPtr& error) {
  std::fprintf(stderr, "%s: %s\n", what.c_str(), error ? error->Message().c_str() : "?");
  std::exit(1);
}

struct Target {
  std::string name;    // sqlite, postgres
  std::string server;  // the Data Source value
};

std::string ConnectionString(const Target& target, const std::string& database) {
  return "Provider=SQLOLEDB;Data Source=" + target.server + ";Database=" + database +
         ";Trusted_Connection=Yes;";
}

// A fresh database with ten applications.
void CreateBenchDatabase(const std::string& cs) {
  kx4::ado::CreateDatabase(cs);
  const auto options = kx4::ado::ConnectionOptions::Parse(cs);
  auto connection = kx4::ado::EngineFor(options).Open(options);
  int64_t affected = 0;
  for (int i = 0; i < 10; ++i) {
    connection->Execute(
        "INSERT INTO tblApplications (Name, Description, TrackOptionId) "
        "VALUES (N'App', N'Benchmark row', 1)",
        {}, 60, nullptr, affected);
  }
}

void Run(const Target& target, int rounds, int ops) {
  // Each side writes its own database: two writers of one database would
  // hand its lock back and forth and measure that instead.
  const std::string suffix = std::to_string(::getpid());
  const std::string raw_cs = ConnectionString(target, "bench_raw_" + suffix);
  const std::string session_db = "bench_session_" + suffix;
  const std::string session_cs = ConnectionString(target, session_db);
  CreateBenchDatabase(raw_cs);
  CreateBenchDatabase(session_cs);
  kx4::clsConnectionVariables settings;
  settings.SetServer(target.server);
  settings.SetDatabase(session_db);
  settings.SetNTAuthenticate(true);
  settings.SetStorePassword(false);
  settings.SetConnectTimeout(10);
  settings.Store(false);

  const auto options = kx4::ado::ConnectionOptions::Parse(raw_cs);
  auto raw = kx4::ado::EngineFor(options).Open(options);

  kx4::KXData session;
  if (auto error = session.EstablishConnection(true))
    Fail("EstablishConnection", error);

  auto raw_select = [&](int n) {
    kx4::ado::ResultTable rows;
    int64_t count = 0;
    raw->Execute(kSelect, Params({kx4::Variant(int32_t{1 + n % 10})}), 60, &rows, count);
  };
  auto session_select = [&](int n) {
    std::shared_ptr<kx4::ado::Recordset> rs;
    if (auto error = kx4::KXDataInternal::ExecuteSQL(
            session, rs, kSelect,
            kx4::Variant(kx4::VariantArray{kx4::Variant(int32_t{1 + n % 10})})))
      Fail("ExecuteSQL", error);
  };
  auto raw_update = [&](int n) {
    int64_t count = 0;
    raw->Execute(kUpdate,
                 Params({kx4::Variant(int32_t{1 + n % 6}), kx4::Variant(int32_t{1 + n % 10})}), 60,
                 nullptr, count);
  };
  auto session_update = [&](int n) {
    int32_t count = 0;
    if (auto error = kx4::KXDataInternal::ExecuteNoRecords(
            session, kUpdate,
            kx4::Variant(kx4::VariantArray{kx4::Variant(int32_t{1 + n % 6}),
                                           kx4::Variant(int32_t{1 + n % 10})}),
            count))
      Fail("ExecuteNoRecords", error);
  };

  const Comparison select = Compare(rounds, ops, raw_select, session_select);
  const Comparison update = Compare(rounds, ops / 10 + 1, raw_update, session_update);
  std::printf("# %s: select raw %.2f us, session %.2f us; update raw %.2f us, session %.2f us\n",
              target.name.c_str(), select.raw_us, select.session_us, update.raw_us,
              update.session_us);
  std::printf("RATIO session_select_%s %.2f target >= 0.8\n", target.name.c_str(), select.ratio);
  std::printf("RATIO session_update_%s %.2f target >= 0.8\n", target.name.c_str(), update.ratio);

  // Idle: every statement takes a pooled connection, checks the version and
  // hands the connection back; against the established session's statement.
  kx4::KXData idle;
  auto idle_select = [&](int n) {
    std::shared_ptr<kx4::ado::Recordset> rs;
    if (auto error = kx4::KXDataInternal::ExecuteSQL(
            idle, rs, kSelect, kx4::Variant(kx4::VariantArray{kx4::Variant(int32_t{1 + n % 10})})))
      Fail("idle ExecuteSQL", error);
  };
  const Comparison pooled = Compare(rounds * 3, std::max(ops / 4, 50), session_select, idle_select);
  std::printf("# %s: idle select %.2f us, established %.2f us\n", target.name.c_str(),
              pooled.session_us, pooled.raw_us);
  std::printf("RATIO session_idle_select_%s %.2f target <= 3\n", target.name.c_str(),
              1 / pooled.chunk_ratio);

  session.CloseConnection();
  raw.reset();
  kx4::ado::DropDatabase(raw_cs);
  kx4::ado::DropDatabase(session_cs);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 7, ops = 2000;
  if (argc > 1 && std::string(argv[1]) == "--quick") {
    rounds = 2;
    ops = 200;
  }
  // Everything the benchmark writes stays in a scratch folder.
  char pattern[] = "/tmp/kx4bench.XXXXXX";
  const std::string scratch = ::mkdtemp(pattern);
  for (const char* sub : {"hive", "log", "data"})
    std::filesystem::create_directories(scratch + "/" + sub);
  ::setenv("KX4_HIVE_DIR", (scratch + "/hive").c_str(), 1);
  ::setenv("KX4_LOG_DIR", (scratch + "/log").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (scratch + "/data").c_str(), 1);

  std::vector<Target> targets = {{"sqlite", "(localdb)"}};
  if (const char* host = std::getenv("KX4_TEST_PGHOST"); host && *host) {
    std::string server = host;
    if (const char* port = std::getenv("KX4_TEST_PGPORT"); port && *port)
      server += std::string(",") + port;
    targets.push_back({"postgres", server});
  }
  int status = 0;
  for (const Target& target : targets) {
    try {
      Run(target, rounds, ops);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", target.name.c_str(), e.what());
      status = 1;
    }
  }
  std::filesystem::remove_all(scratch);
  return status;
}
