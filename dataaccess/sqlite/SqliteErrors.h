// SQLite's failures in SQL Server's numbering, the numbers callers test.
#ifndef KX4DATA_DATAACCESS_SQLITE_SQLITEERRORS_H_
#define KX4DATA_DATAACCESS_SQLITE_SQLITEERRORS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "dataaccess/Engine.h"

struct sqlite3;

namespace kx4::ado::sqlite {

inline constexpr char kErrorSource[] = "kx4data SQLite engine";

// Native numbers used besides the server's own.
inline constexpr int32_t kNativeQueryTimeout = -2;   // the client's "Timeout expired"
inline constexpr int32_t kNativeLockTimeout = 1222;  // lock request time-out
inline constexpr int32_t kNativeOther = 50000;       // no counterpart; the text tells

// The text of a value refused by a small column (kx4_flag, the schema's
// kx4_smallint and kx4_int checks); reported as 8115.
inline constexpr char kOverflowSmallInt[] =
    "Arithmetic overflow error converting expression to data type smallint.";

EngineError MakeError(int32_t hresult, int32_t native, std::string sql_state,
                      std::string description);
// The error of the failed call `rc` on `db`.  `database` names the database
// in messages; `timed_out` says the statement ran out of its time.
EngineError Translate(sqlite3* db, int rc, std::string_view database, bool timed_out);

}  // namespace kx4::ado::sqlite

#endif  // KX4DATA_DATAACCESS_SQLITE_SQLITEERRORS_H_
