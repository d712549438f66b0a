// Functions and the collation the dialect needs on SQLite, registered on the
// library's connections and by the extension kx4sqlite.so: UTF-8-aware
// UPPER/LOWER (also as kx4_upper/kx4_lower, with kx4_key), LIKE with SQL
// Server's bracket classes, GETDATE() and the smalldatetime conversion, the
// bit a value written to a flag becomes, money (SqliteMoney.h), and KX4_CI (no
// case, no trailing blanks).
#ifndef KX4DATA_DATAACCESS_SQLITE_SQLITEFUNCTIONS_H_
#define KX4DATA_DATAACCESS_SQLITE_SQLITEFUNCTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace kx4::ado::sqlite {

// Returns an SQLite result code.
int RegisterFunctions(sqlite3* db);

// Throws the unsuitable-database EngineError when one of the case rules' key
// columns that `db` has does not compare through KX4_CI.  Only the library's
// connections check (SqliteCaseRules.cpp); the extension serves any database.
void CheckCaseRules(sqlite3* db, std::string_view database);

// SQL Server LIKE: % _ [abc] [a-c] [^x], case-insensitive.
bool Like(std::string_view pattern, std::string_view text, uint32_t escape = 0);

// The bit a number written to a bit column becomes: true for anything that
// does not round to zero; nullopt beyond the 16-bit range, which a bit
// column refuses (kx4_flag(x) in SQL).
std::optional<bool> FlagValue(double number);

// Compares as KX4_CI does: <0, 0, >0.
int CompareNoCase(std::string_view a, std::string_view b);

// 'yyyy-mm-dd hh:mm:ss', the storage form of date-times.
std::string FormatStoredDate(int64_t seconds);
// Reads the storage form (also with 'T' or fractions, or a date alone);
// false when the text is not in it.
bool ParseStoredDate(std::string_view text, int64_t& seconds);

}  // namespace kx4::ado::sqlite

#endif  // KX4DATA_DATAACCESS_SQLITE_SQLITEFUNCTIONS_H_
