// The rows of one result set, stored by column: fixed-width values in typed
// vectors, text in one buffer per column, nulls in a bitmap.  Engines append
// row by row, one value per column in column order.
#ifndef KX4DATA_DATAACCESS_RESULTTABLE_H_
#define KX4DATA_DATAACCESS_RESULTTABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <kx4data/Variant.h>

namespace kx4::ado {

class ResultTable {
 public:
  // `ado_type` is the type a SQL Server provider reports for the column
  // (adBoolean, adSmallInt, adInteger, adCurrency, adDBTimeStamp, adVarWChar,
  // adDouble, ...); it decides the storage and the Variant type of values.
  int32_t AddColumn(std::string name, int32_t ado_type);

  void AppendNull();
  void AppendInteger(int64_t value);   // integer and boolean columns (any non-zero is true)
  void AppendDouble(double value);     // floating columns
  void AppendCurrency(int64_t ticks);  // money, in ten-thousandths
  void AppendDate(int64_t seconds);    // DateTime::Seconds()
  void AppendText(std::string_view value);

  int32_t ColumnCount() const;
  int32_t RowCount() const;
  const std::string& ColumnName(int32_t column) const;
  int32_t ColumnType(int32_t column) const;
  // Case-insensitive; -1 when there is no such column.
  int32_t FindColumn(std::string_view name) const;

  bool IsNull(int32_t row, int32_t column) const;
  Variant Value(int32_t row, int32_t column) const;

  size_t MemoryUsage() const;
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_RESULTTABLE_H_
