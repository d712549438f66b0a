// kx4sqlite.so: the loadable extension that lets standard SQLite tools (the
// sqlite3 shell, Python's sqlite3 module) read and write an embedded
// database.  It registers on the loading connection exactly what the
// library's own connections register, from the same sources: the KX4_CI
// collation, the case functions, LIKE, flags, dates and money.
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "dataaccess/sqlite/SqliteFunctions.h"

#define KX4SQLITE_ENTRY extern "C" __attribute__((visibility("default"))) int

KX4SQLITE_ENTRY sqlite3_kx4sqlite_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  const int rc = kx4::ado::sqlite::RegisterFunctions(db);
  if (rc != SQLITE_OK && error)
    *error = sqlite3_mprintf("kx4sqlite: cannot register its functions: %s", sqlite3_errstr(rc));
  return rc;
}

// Without an entry point named, SQLite derives one from the letters of the
// file name, leaving out the digit: this is the name ".load .../kx4sqlite"
// and Python's load_extension() look for.
KX4SQLITE_ENTRY sqlite3_kxsqlite_init(sqlite3* db, char** error, const sqlite3_api_routines* api) {
  return sqlite3_kx4sqlite_init(db, error, api);
}
