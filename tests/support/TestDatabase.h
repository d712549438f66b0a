// A throwaway database per test, on either engine, and the fixture that
// runs a suite on both engines.
#ifndef KX4DATA_TESTS_SUPPORT_TESTDATABASE_H_
#define KX4DATA_TESTS_SUPPORT_TESTDATABASE_H_

#include <kx4data/Variant.h>
#include <kx4data/ado/Recordset.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"

namespace kx4::test {

enum class Engine { kSqlite, kPostgres };

// Where the PostgreSQL test server is (KX4_TEST_PGHOST, KX4_TEST_PGPORT);
// false when it is not set.
bool PostgresConfigured();
// The folder this test process owns (removed when it ends).
const std::string& ScratchFolder();

class TestDatabase {
 public:
  // Creates a fresh database with the schema and seed rows; throws
  // RuntimeError when it cannot.
  explicit TestDatabase(Engine engine);
  ~TestDatabase();  // drops it
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  Engine GetEngine() const { return engine_; }
  // Exactly what clsConnectionVariables::BuildConnectionString produces for
  // these settings (integrated authentication).
  const std::string& ConnectionString() const { return connection_string_; }
  const std::string& Server() const { return server_; }  // the Data Source value
  const std::string& Database() const { return database_; }

  // An open connection in `mode` (adModeReadWrite or adModeRead).
  std::shared_ptr<ado::Connection> Connect(int32_t mode = ado::adModeReadWrite) const;

 private:
  Engine engine_;
  std::string server_;
  std::string database_;
  std::string connection_string_;
};

// Parameters as the session binds them: Par0, Par1, ... by the value's type.
std::vector<ado::Parameter> Params(const std::vector<Variant>& values);
// Runs `sql` without rows; returns the rows affected.
int32_t Execute(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
                const std::vector<Variant>& values = {});
// Runs `sql` into a client-side record set (closed when no result set).
std::unique_ptr<ado::Recordset> Query(const std::shared_ptr<ado::Connection>& connection,
                                      const std::string& sql,
                                      const std::vector<Variant>& values = {});
// The first field of the first row.
Variant Scalar(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
               const std::vector<Variant>& values = {});

// How a call failed: the run-time error's number (the HRESULT) and the first
// provider error the connection recorded.
struct Failure {
  int32_t hresult = 0;
  ado::ProviderError error;
};
// The failure of `call` on `connection`; a call that succeeds fails the test
// (`what` names it then).
Failure FailureOf(ado::Connection& connection, const std::function<void()>& call,
                  const std::string& what = "the call");
// Runs `sql` without rows under `timeout` seconds and returns its failure.
Failure Fails(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
              const std::vector<Variant>& values = {}, int32_t timeout = 30);

// Base of suites that run on both engines: a fresh database per test in db().
class EngineTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override;
  void TearDown() override;
  TestDatabase& db() { return *db_; }
  std::shared_ptr<ado::Connection> Connect(int32_t mode = ado::adModeReadWrite) {
    return db_->Connect(mode);
  }
  bool IsSqlite() const { return GetParam() == Engine::kSqlite; }

 private:
  std::unique_ptr<TestDatabase> db_;
};

std::string EngineName(const ::testing::TestParamInfo<Engine>& info);
inline void PrintTo(Engine engine, std::ostream* os) {
  *os << (engine == Engine::kSqlite ? "Sqlite" : "Postgres");
}

}  // namespace kx4::test

#define KX4_INSTANTIATE_ENGINES(Suite)                                                 \
  INSTANTIATE_TEST_SUITE_P(                                                            \
      Engines, Suite,                                                                  \
      ::testing::Values(::kx4::test::Engine::kSqlite, ::kx4::test::Engine::kPostgres), \
      ::kx4::test::EngineName)

#endif  // KX4DATA_TESTS_SUPPORT_TESTDATABASE_H_
