// The SQLite interface of the sources the loadable extension shares with the
// library.  Built into the extension (KX4_SQLITE_EXTENSION), they reach SQLite
// through the routines the loading connection hands over, so they run in
// whatever program loads them; built into the library, they call it directly.
#ifndef KX4DATA_DATAACCESS_SQLITE_SQLITEAPI_H_
#define KX4DATA_DATAACCESS_SQLITE_SQLITEAPI_H_

#ifdef KX4_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#endif  // KX4DATA_DATAACCESS_SQLITE_SQLITEAPI_H_
