#include "support/TestDatabase.h"

#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "dataaccess/RecordsetInternal.h"

namespace kx4::test {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string UniqueName() {
  static std::atomic<int> counter{0};
  return "kx4test_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

int32_t TypeOf(const Variant& v) {
  switch (v.VarType()) {
    case vbInteger:
      return ado::adSmallInt;
    case vbLong:
      return ado::adInteger;
    case vbSingle:
      return ado::adSingle;
    case vbDouble:
      return ado::adDouble;
    case vbCurrency:
      return ado::adCurrency;
    case vbDate:
      return ado::adDate;
    case vbString:
      return ado::adVarWChar;
    case vbByte:
      return ado::adTinyInt;
    default:
      return ado::adNumeric;
  }
}

}  // namespace

bool PostgresConfigured() {
  return !Env("KX4_TEST_PGHOST").empty();
}

TestDatabase::TestDatabase(Engine engine) : engine_(engine), database_(UniqueName()) {
  if (engine == Engine::kSqlite) {
    server_ = "(localdb)";
  } else {
    // The PostgreSQL side: host (or socket folder) and port, as the settings
    // dialog would hold them.
    server_ = Env("KX4_TEST_PGHOST");
    const std::string port = Env("KX4_TEST_PGPORT");
    if (!port.empty())
      server_ += "," + port;
  }
  connection_string_ = "Provider=SQLOLEDB;Data Source=" + server_ + ";Database=" + database_ +
                       ";Trusted_Connection=Yes;";
  ado::CreateDatabase(connection_string_);
}

TestDatabase::~TestDatabase() {
  try {
    ado::DropDatabase(connection_string_);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "dropping " << database_ << ": " << e.what();
  }
}

std::shared_ptr<ado::Connection> TestDatabase::Connect(int32_t mode) const {
  auto c = std::make_shared<ado::Connection>();
  c->SetConnectionString(connection_string_);
  c->SetMode(mode);
  c->Open();
  return c;
}

std::vector<ado::Parameter> Params(const std::vector<Variant>& values) {
  std::vector<ado::Parameter> out;
  int i = 0;
  for (const Variant& v : values) {
    const int32_t type = TypeOf(v);
    if (type == ado::adVarWChar && v.Get<std::string>()->empty())
      out.emplace_back("Par" + std::to_string(i), type, ado::adParamInput, 1, Variant::Null());
    else
      out.emplace_back(
          "Par" + std::to_string(i), type, ado::adParamInput,
          type == ado::adVarWChar ? static_cast<int32_t>(v.Get<std::string>()->size()) : 0, v);
    ++i;
  }
  return out;
}

int32_t Execute(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
                const std::vector<Variant>& values) {
  ado::Command command;
  command.SetCommandText(sql);
  command.Parameters() = Params(values);
  command.SetActiveConnection(connection);
  int32_t affected = 0;
  command.Execute(&affected);
  return affected;
}

std::unique_ptr<ado::Recordset> Query(const std::shared_ptr<ado::Connection>& connection,
                                      const std::string& sql, const std::vector<Variant>& values) {
  ado::Command command;
  command.SetCommandText(sql);
  command.Parameters() = Params(values);
  command.SetActiveConnection(connection);
  auto rs = std::make_unique<ado::Recordset>();
  ado::RecordsetInternal::SetCursorLocation(*rs, ado::adUseClient);
  ado::RecordsetInternal::Open(*rs, command, ado::adOpenStatic, ado::adLockReadOnly);
  return rs;
}

Variant Scalar(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
               const std::vector<Variant>& values) {
  auto rs = Query(connection, sql, values);
  if (rs->State() != ado::adStateOpen || rs->Eof())
    throw RuntimeError(ado::kErrNoCurrentRecord, "no row: " + sql);
  return rs->Fields(0).Value();
}

Failure FailureOf(ado::Connection& connection, const std::function<void()>& call,
                  const std::string& what) {
  try {
    call();
  } catch (const RuntimeError& e) {
    Failure f{e.Number(), {}};
    if (!connection.Errors().empty())
      f.error = connection.Errors().front();
    return f;
  }
  ADD_FAILURE() << what << " succeeded";
  return {};
}

Failure Fails(const std::shared_ptr<ado::Connection>& connection, const std::string& sql,
              const std::vector<Variant>& values, int32_t timeout) {
  ado::Command command;
  command.SetCommandText(sql);
  command.SetCommandTimeout(timeout);
  command.Parameters() = Params(values);
  command.SetActiveConnection(connection);
  return FailureOf(
      *connection, [&] { command.Execute(); }, sql);
}

void EngineTest::SetUp() {
  if (GetParam() == Engine::kPostgres && !PostgresConfigured()) {
    if (Env("CI") == "true")
      FAIL() << "KX4_TEST_PGHOST is not set: the PostgreSQL tests need the server that "
                "scripts/test starts";
    GTEST_SKIP() << "*** PostgreSQL tests SKIPPED: KX4_TEST_PGHOST is not set (run scripts/test "
                    "to start a test server) ***";
  }
  db_ = std::make_unique<TestDatabase>(GetParam());
}

void EngineTest::TearDown() {
  db_.reset();
}

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  return info.param == Engine::kSqlite ? "Sqlite" : "Postgres";
}

}  // namespace kx4::test
