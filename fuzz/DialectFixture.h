// What the dialect fuzzers share: both engines' translators typed from the
// real schema's columns, and SQLite's own view of a translated statement.
#ifndef KX4DATA_FUZZ_DIALECTFIXTURE_H_
#define KX4DATA_FUZZ_DIALECTFIXTURE_H_

#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "dataaccess/dialect/Dialect.h"
#include "dataaccess/postgres/PgDialect.h"
#include "dataaccess/sqlite/SqliteConnection.h"
#include "dataaccess/sqlite/SqliteFunctions.h"
#include "schema/Schema.h"

namespace kx4::fuzz {

// An in-memory database with the schema and the engine's functions; lives
// for the process.
inline sqlite3* SchemaDatabase() {
  static sqlite3* db = [] {
    sqlite3* opened = nullptr;
    const std::string script(schema::SqliteScript());
    Check(sqlite3_open(":memory:", &opened) == SQLITE_OK &&
              ado::sqlite::RegisterFunctions(opened) == SQLITE_OK &&
              sqlite3_exec(opened, script.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK,
          "cannot create the schema database");
    return opened;
  }();
  return db;
}

struct Translators {
  ado::sqlite::Catalog catalog;
  ado::sqlite::SqliteHooks sqlite_hooks{catalog};
  ado::dialect::Translator sqlite{sqlite_hooks};
  ado::pg::PgTranslator postgres;

  Translators() {
    Check(catalog.Load(SchemaDatabase()) == SQLITE_OK, "cannot read the schema's columns");
    postgres.SetCatalogue(&catalog);
  }
};

inline Translators& Dialects() {
  static auto* translators = new Translators;
  return *translators;
}

inline bool AnyOpen(const std::vector<ado::dialect::Token>& tokens) {
  for (const auto& token : tokens) {
    if (token.open)
      return true;
  }
  return false;
}

}  // namespace kx4::fuzz

#endif  // KX4DATA_FUZZ_DIALECTFIXTURE_H_
