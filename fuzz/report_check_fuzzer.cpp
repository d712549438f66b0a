// The report-statement check: on any text it never crashes, and a statement
// it accepts is one SELECT that SQLite, given its translation against the
// schema, either refuses to prepare or prepares as reading only.  The suite
// also runs every accepted input of the corpus on a writable copy of both
// engines (tests/session/ReportAttemptsTest.cpp).
#include <sqlite3.h>

#include <string>

#include "DialectFixture.h"
#include "dataaccess/Engine.h"
#include "session/StatementCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kx4::fuzz::Check;
  using kx4::fuzz::Shown;
  if (size > 4096)
    return 0;
  const std::string sql(kx4::fuzz::Text(data, size));
  std::string reason;
  if (!kx4::IsSingleReadStatement(sql, reason)) {
    Check(!reason.empty(), "refused without a reason: " + Shown(sql));
    return 0;
  }
  kx4::fuzz::Translators& dialects = kx4::fuzz::Dialects();
  try {
    const auto& statements = dialects.sqlite.Translate(sql);
    Check(statements.size() <= 1, "accepted, but it is " + std::to_string(statements.size()) +
                                      " statements: " + Shown(sql));
    for (const auto& statement : statements) {
      Check(!kx4::ado::dialect::ChangesData(statement.kind),
            "accepted, but it changes data: " + Shown(sql));
      sqlite3_stmt* prepared = nullptr;
      if (sqlite3_prepare_v2(kx4::fuzz::SchemaDatabase(), statement.sql.c_str(),
                             static_cast<int>(statement.sql.size()), &prepared,
                             nullptr) == SQLITE_OK &&
          prepared != nullptr) {
        const bool reads = sqlite3_stmt_readonly(prepared) != 0;
        sqlite3_finalize(prepared);
        // SQLite compiles the first statement only; the connection refuses a
        // piece with more after it (PostgreSQL's quoting read another way),
        // so the first is all that could run.
        Check(reads, "accepted, but SQLite prepares it as writing: " + Shown(statement.sql));
      }
    }
  } catch (const kx4::ado::EngineError&) {
    // Refused by the translation: nothing runs.
  }
  try {
    const auto& batch = dialects.postgres.Translate(sql, true);
    Check(batch.statements.size() <= 1,
          "accepted, but PostgreSQL's translation has more statements: " + Shown(sql));
  } catch (const kx4::ado::EngineError&) {
  }
  return 0;
}
