// A client-side, static, read-only record set: every row is fetched when it
// opens, stored compactly by column, and no engine resource is held after.
#ifndef KX4DATA_ADO_RECORDSET_H_
#define KX4DATA_ADO_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <kx4data/Variant.h>
#include <kx4data/ado/Types.h>

namespace kx4::ado {

class Command;
class Connection;
class Recordset;
class ResultTable;

// A view of one column at the record set's current row.
// Every member throws RuntimeError once the record set is closed.
class Field {
 public:
  const std::string& Name() const;
  int32_t Type() const;  // DataTypeEnum, as a SQL Server provider reports it
  // The value at the current row; throws RuntimeError at BOF or EOF.
  Variant Value() const;
  bool IsNull() const;

 private:
  friend class Recordset;
  Field(const Recordset* owner, int32_t column) : owner_(owner), column_(column) {}
  const ResultTable& Rows() const;
  const Recordset* owner_;
  int32_t column_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();

  int32_t CursorLocation() const { return cursor_location_; }
  void SetCursorLocation(int32_t location) { cursor_location_ = location; }

  // Runs `source` on its active connection and fetches all rows.  When the
  // command yields no result set the record set stays closed (State() 0).
  // Throws RuntimeError when the command fails.
  void Open(Command& source, int32_t cursor_type = adOpenStatic, int32_t lock_type = adLockReadOnly,
            int32_t options = adOptionUnspecified);
  // Client-side rows need no connection; kept so callers can disconnect.
  void SetActiveConnection(std::nullptr_t) {}
  void Close();

  int32_t State() const { return rows_ ? adStateOpen : adStateClosed; }
  // BOF and EOF (EOF is a macro of the C library, hence the spelling).
  bool Bof() const;
  bool Eof() const;
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();
  int32_t RecordCount() const;  // -1 when closed
  int32_t AbsolutePosition() const { return position_ + 1; }

  int32_t FieldCount() const;
  // Throws RuntimeError (item not found) for an unknown index or name; names
  // compare without regard to case.
  Field Fields(int32_t index) const;
  Field Fields(std::string_view name) const;

  // Bytes held by the rows, for the memory benchmark.
  size_t MemoryUsage() const;

  // For engines and tests: adopt already fetched rows.
  void Adopt(std::shared_ptr<const ResultTable> rows);
  const ResultTable* Rows() const { return rows_.get(); }

 private:
  friend class Field;
  int32_t cursor_location_ = adUseServer;
  std::shared_ptr<const ResultTable> rows_;
  int32_t position_ = 0;  // 0-based row; -1 is BOF, RowCount() is EOF
};

}  // namespace kx4::ado

#endif  // KX4DATA_ADO_RECORDSET_H_
