// The library's case rules on PostgreSQL.  A database made by the library
// folds text with SQL functions that carry the library's own case table
// (variant/Utf8), so that no comparison, unique index or sort order depends
// on the server's locale:
//   kx4_upper(t), kx4_lower(t)  what UpperText and LowerText give;
//   kx4_key(t)                  kx4_upper(t) without its trailing blanks:
//                               what names compare, sort and stay unique by.
// Names, codes, descriptions and ports are columns of the domain kx4_ci
// (text in the C collation), which the catalogue reports as names; the
// typed statements reach the functions as the analyzer's case rules say.
#ifndef KX4DATA_DATAACCESS_POSTGRES_PGCASERULES_H_
#define KX4DATA_DATAACCESS_POSTGRES_PGCASERULES_H_

#include <libpq-fe.h>

#include <string>

namespace kx4::ado::pg {

// The script that creates kx4_upper, kx4_lower and kx4_key.
std::string CaseFunctionsScript();

// Checks the case rules of the database `conn` is connected to, outside any
// transaction.  Throws the unsuitable-database EngineError when it lacks them
// (not UTF8, no functions, functions with another table, key columns not
// kx4_ci), or the failure of the reading.
void CheckCaseRules(PGconn* conn);

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_PGCASERULES_H_
