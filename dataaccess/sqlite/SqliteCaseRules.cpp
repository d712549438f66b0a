#include <sqlite3.h>

#include <string>

#include "dataaccess/CaseRules.h"
#include "dataaccess/sqlite/SqliteErrors.h"
#include "dataaccess/sqlite/SqliteFunctions.h"
#include "variant/Utf8.h"

namespace kx4::ado::sqlite {

void CheckCaseRules(sqlite3* db, std::string_view database) {
  for (const TableColumn& key : kCaseInsensitiveKeys) {
    const std::string table(key.table);
    const std::string column(key.column);
    const char* collation = nullptr;
    if (sqlite3_table_column_metadata(db, "main", table.c_str(), column.c_str(), nullptr,
                                      &collation, nullptr, nullptr, nullptr) != SQLITE_OK)
      continue;  // a database without that table
    if (!collation || !EqualsAsciiNoCase(collation, "KX4_CI"))
      throw UnsuitableDatabase(
          kErrorSource, database,
          "its column " + table + "." + column + " does not compare through the collation KX4_CI");
  }
}

}  // namespace kx4::ado::sqlite
