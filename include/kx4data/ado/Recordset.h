// A client-side, static, read-only record set: every row is fetched when it
// opens, stored compactly by column, and no engine resource is held after.
// Hosts receive them filled (ExecuteReportSQL, the lists of DataGlobal) and
// read them; only the library opens them.
#ifndef KX4DATA_ADO_RECORDSET_H_
#define KX4DATA_ADO_RECORDSET_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <kx4data/Export.h>
#include <kx4data/Variant.h>
#include <kx4data/ado/Types.h>

namespace kx4::ado {

class Recordset;
class RecordsetInternal;
class ResultTable;

// A view of one column at the record set's current row.
// Every member throws RuntimeError once the record set is closed.
class KX4DATA_API Field {
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

class KX4DATA_API Recordset {
 public:
  Recordset();
  ~Recordset();

  int32_t CursorLocation() const { return cursor_location_; }  // CursorLocationEnum

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

 private:
  friend class Field;
  friend class RecordsetInternal;

  int32_t cursor_location_ = adUseServer;
  std::shared_ptr<const ResultTable> rows_;
  int32_t position_ = 0;  // 0-based row; -1 is BOF, RowCount() is EOF
};

}  // namespace kx4::ado

#endif  // KX4DATA_ADO_RECORDSET_H_
