#include "dataaccess/sqlite/SqliteErrors.h"

#include <sqlite3.h>

namespace kx4::ado::sqlite {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The object named after `prefix` in an engine message ("no such table: X").
std::string After(std::string_view message, std::string_view prefix) {
  const size_t at = message.find(prefix);
  if (at == std::string_view::npos)
    return std::string();
  return std::string(message.substr(at + prefix.size()));
}

}  // namespace

EngineError MakeError(int32_t hresult, int32_t native, std::string sql_state,
                      std::string description) {
  ProviderError e;
  e.NativeError = native;
  e.Description = std::move(description);
  e.SQLState = std::move(sql_state);
  e.Source = kErrorSource;
  return EngineError(hresult, {std::move(e)});
}

EngineError Translate(sqlite3* db, int rc, std::string_view database, bool timed_out) {
  const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  const std::string engine = " [SQLite: " + message + "]";
  const int primary = rc & 0xFF;
  const std::string db_name(database);

  if (timed_out || primary == SQLITE_INTERRUPT)
    return MakeError(kErrTimeout, kNativeQueryTimeout, "HYT00", "Query timeout expired." + engine);
  switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE: {
      const std::string what = After(message, "failed: ");
      const std::string table = what.substr(0, what.find('.'));
      return MakeError(kErrIntegrityViolation, 2601, "23000",
                       "Cannot insert duplicate key row in object '" + table +
                           "' with unique index on " + what + "." + engine);
    }
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_ROWID: {
      const std::string what = After(message, "failed: ");
      const std::string table = what.substr(0, what.find('.'));
      return MakeError(kErrIntegrityViolation, 2627, "23000",
                       "Violation of PRIMARY KEY constraint. Cannot insert duplicate key in "
                       "object '" +
                           table + "'." + engine);
    }
    case SQLITE_CONSTRAINT_NOTNULL:
      return MakeError(kErrIntegrityViolation, 515, "23000",
                       "Cannot insert the value NULL into column '" + After(message, "failed: ") +
                           "'; column does not allow nulls." + engine);
    case SQLITE_CONSTRAINT_CHECK:
      // The schema names its range checks after the column type.
      if (const std::string check = After(message, "failed: ");
          check == "kx4_smallint" || check == "kx4_int")
        return MakeError(kErrCommandFailed, 8115, "22003",
                         "Arithmetic overflow error converting expression to data type " +
                             check.substr(4) + "." + engine);
      return MakeError(kErrIntegrityViolation, 547, "23000",
                       "The statement conflicted with a constraint." + engine);
    case SQLITE_CONSTRAINT_FOREIGNKEY:
      return MakeError(kErrIntegrityViolation, 547, "23000",
                       "The statement conflicted with a constraint." + engine);
    default:
      break;
  }
  switch (primary) {
    case SQLITE_CONSTRAINT:
      return MakeError(kErrIntegrityViolation, 547, "23000",
                       "The statement conflicted with a constraint." + engine);
    case SQLITE_READONLY:
      return MakeError(kErrCommandFailed, 3906, "42000",
                       "Failed to update database \"" + db_name +
                           "\" because the database is read-only." + engine);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return MakeError(kErrTimeout, kNativeLockTimeout, "HYT00",
                       "Lock request time out period exceeded." + engine);
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
      return MakeError(kErrProviderFailure, 4060, "42000",
                       "Cannot open database \"" + db_name +
                           "\" requested by the login. The login failed." + engine);
    case SQLITE_FULL:
      return MakeError(
          kErrCommandFailed, 1105, "42000",
          "Could not allocate space for database \"" + db_name + "\": the disk is full." + engine);
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
      return MakeError(kErrProviderFailure, 823, "HY000",
                       "The operating system returned an error while reading or writing database "
                       "\"" +
                           db_name + "\"." + engine);
    case SQLITE_MISMATCH:
      return MakeError(kErrCommandFailed, 245, "22018", "Conversion failed." + engine);
    case SQLITE_RANGE:
      return MakeError(kErrCommandFailed, 8178, "07002",
                       "The statement expects a parameter which was not supplied." + engine);
    default:
      break;
  }
  if (StartsWith(message, "no such table: "))
    return MakeError(kErrCommandFailed, 208, "42S02",
                     "Invalid object name '" + After(message, "no such table: ") + "'." + engine);
  if (StartsWith(message, "no such column: "))
    return MakeError(kErrCommandFailed, 207, "42S22",
                     "Invalid column name '" + After(message, "no such column: ") + "'." + engine);
  if (message.find(" has no column named ") != std::string::npos)
    return MakeError(
        kErrCommandFailed, 207, "42S22",
        "Invalid column name '" + After(message, " has no column named ") + "'." + engine);
  if (message.find("syntax error") != std::string::npos || message == "incomplete input" ||
      StartsWith(message, "unrecognized token"))
    return MakeError(kErrCommandFailed, 102, "42000", "Incorrect syntax." + engine);
  if (StartsWith(message, "no such function: ") || StartsWith(message, "wrong number of arguments"))
    return MakeError(kErrCommandFailed, 195, "42000",
                     "Not a recognized built-in function name." + engine);
  if (StartsWith(message, "ambiguous column name: "))
    return MakeError(
        kErrCommandFailed, 209, "42000",
        "Ambiguous column name '" + After(message, "ambiguous column name: ") + "'." + engine);
  if (message == kOverflowSmallInt)
    return MakeError(kErrCommandFailed, 8115, "22003", message);
  if (StartsWith(message, "Conversion failed"))
    return MakeError(kErrCommandFailed, 241, "22007", message);
  if (StartsWith(message, "The invalid escape character"))
    return MakeError(kErrCommandFailed, 506, "22019", message);
  return MakeError(kErrCommandFailed, kNativeOther, "HY000", message);
}

}  // namespace kx4::ado::sqlite
