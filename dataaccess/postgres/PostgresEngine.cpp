// The PostgreSQL engine: every data source other than "(localdb)".
#include <memory>
#include <string>

#include "dataaccess/Engine.h"
#include "dataaccess/postgres/ConnectParams.h"
#include "dataaccess/postgres/PgCaseRules.h"
#include "dataaccess/postgres/PgConnection.h"
#include "dataaccess/postgres/PgErrors.h"
#include "schema/Schema.h"
#include "variant/Utf8.h"

namespace kx4::ado {

namespace {

using pg::ConnectParams;
using pg::PgConnection;

std::string DatabaseName(const ConnectionOptions& options) {
  std::string_view name = options.database;
  while (!name.empty() && name.front() == ' ') {
    name.remove_prefix(1);
  }
  while (!name.empty() && name.back() == ' ') {
    name.remove_suffix(1);
  }
  if (name.empty()) {
    throw pg::MakeError(kErrProviderFailure, 4060, "The connection string names no database.",
                        "3D000");
  }
  return std::string(name);
}

// Creating and dropping run on the server's maintenance database, always
// read/write.
std::unique_ptr<PgConnection> OpenMaintenance(const ConnectionOptions& options) {
  ConnectionOptions admin = options;
  admin.mode = adModeReadWrite;
  try {
    return std::make_unique<PgConnection>(ConnectParams::From(admin, "postgres"));
  } catch (const EngineError& error) {
    if (error.Errors().empty() || error.Errors().front().SQLState != "3D000") {
      throw;
    }
    return std::make_unique<PgConnection>(ConnectParams::From(admin, "template1"));
  }
}

void Drop(PgConnection& admin, const std::string& name) {
  if (admin.ServerVersion() >= 130000) {
    admin.RunScript("DROP DATABASE IF EXISTS " + Quoted(name, '"') + " WITH (FORCE)");
    return;
  }
  admin.RunScript("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = " +
                  Quoted(name, '\'') + " AND pid <> pg_backend_pid()");
  admin.RunScript("DROP DATABASE IF EXISTS " + Quoted(name, '"'));
}

class PgEngine final : public Engine {
 public:
  std::unique_ptr<EngineConnection> Open(const ConnectionOptions& options) const override {
    auto connection = std::make_unique<PgConnection>(ConnectParams::From(options));
    connection->CheckCaseRules();
    return connection;
  }

  void CreateDatabase(const ConnectionOptions& options) const override {
    std::string name = DatabaseName(options);
    {
      auto admin = OpenMaintenance(options);
      // UTF-8 in the C locale whatever the cluster's default: text sorts by
      // code point and nothing folds by the server's locale; the case rules
      // come with the schema.
      admin->RunScript("CREATE DATABASE " + Quoted(name, '"') +
                       " TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'");
    }
    // A database whose schema failed is removed again: no half-made database
    // stays behind.
    try {
      ConnectionOptions write = options;
      write.mode = adModeReadWrite;
      PgConnection database(ConnectParams::From(write));
      database.RunScript("BEGIN;\n" + pg::CaseFunctionsScript() +
                         std::string(schema::PostgresScript()) + "\nCOMMIT;");
    } catch (...) {
      try {
        auto admin = OpenMaintenance(options);
        Drop(*admin, name);
      } catch (const EngineError&) {
        // The first failure is the one to report.
      }
      throw;
    }
  }

  std::string Location(const ConnectionOptions& options) const override {
    const pg::ServerAddress address = pg::ParseDataSource(options.data_source);
    return address.host + "," + address.port + "/" + std::string(TrimWhitespace(options.database));
  }

  void DropDatabase(const ConnectionOptions& options) const override {
    std::string name = DatabaseName(options);
    auto admin = OpenMaintenance(options);
    Drop(*admin, name);
  }

  // The keywords that say which database and who: libpq's session settings
  // stay the library's own.
  DatabaseLocation Locate(const ConnectionOptions& options) const override {
    const ConnectParams params = ConnectParams::From(options, DatabaseName(options));
    DatabaseLocation location;
    for (const char* keyword : {"host", "port", "dbname", "user", "password"})
      if (const std::string* value = params.Find(keyword))
        location.server.emplace_back(keyword, *value);
    return location;
  }
};

}  // namespace

const Engine& PostgresEngine() {
  static const PgEngine engine;
  return engine;
}

}  // namespace kx4::ado
