// What the library itself does with record sets and hosts cannot: open one
// from a command, hand it rows fetched elsewhere, look at those rows.
#ifndef KX4DATA_DATAACCESS_RECORDSETINTERNAL_H_
#define KX4DATA_DATAACCESS_RECORDSETINTERNAL_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include <kx4data/ado/Recordset.h>

#include "dataaccess/Types.h"

namespace kx4::ado {

class Command;

class RecordsetInternal {
 public:
  static void SetCursorLocation(Recordset& rs, int32_t location) { rs.cursor_location_ = location; }
  // Runs `source` on its active connection and fetches all rows.  When the
  // command yields no result set the record set stays closed (State() 0).
  // Throws RuntimeError when the command fails or the set is open already.
  static void Open(Recordset& rs, Command& source, int32_t cursor_type = adOpenStatic,
                   int32_t lock_type = adLockReadOnly, int32_t options = adOptionUnspecified);
  // Client-side rows need no connection; kept so the session can disconnect
  // a record set as its callers expect.
  static void SetActiveConnection(Recordset&, std::nullptr_t) {}
  // For engines and tests: adopt already fetched rows.
  static void Adopt(Recordset& rs, std::shared_ptr<const ResultTable> rows) {
    rs.rows_ = std::move(rows);
    rs.position_ = 0;
  }
  static const ResultTable* Rows(const Recordset& rs) { return rs.rows_.get(); }
  // Bytes held by the rows, for the memory benchmark.
  static size_t MemoryUsage(const Recordset& rs);
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_RECORDSETINTERNAL_H_
