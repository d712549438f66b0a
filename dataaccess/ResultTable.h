// The rows of one result set, stored by column: fixed-width values in typed
// vectors, text in one buffer per column, nulls in a bitmap.  Engines append
// row by row, one value per column in column order, then call Finish().
#ifndef KX4DATA_DATAACCESS_RESULTTABLE_H_
#define KX4DATA_DATAACCESS_RESULTTABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <kx4data/Variant.h>

namespace kx4::ado {

class ResultTable {
 public:
  // `ado_type` is the type a SQL Server provider reports for the column
  // (adBoolean, adSmallInt, adInteger, adCurrency, adDBTimeStamp, adVarWChar,
  // adDouble, ...); it decides the storage and the Variant type of values.
  // adEmpty leaves the type to the first non-null value: integers report
  // adInteger (adBigInt when one leaves the 32-bit range), reals adDouble,
  // text adVarWChar; a column of nulls only reports adInteger.
  int32_t AddColumn(std::string name, int32_t ado_type);

  void AppendNull();
  void AppendInteger(int64_t value);   // integer and boolean columns (any non-zero is true)
  void AppendDouble(double value);     // floating columns
  void AppendCurrency(int64_t ticks);  // money, in ten-thousandths
  void AppendDate(int64_t seconds);    // DateTime::Seconds()
  void AppendText(std::string_view value);

  // Settles the types left open and returns spare capacity; engines call it
  // once after the last row.
  void Finish();
  void Reserve(size_t rows);
  // Room for this many columns, before the first AddColumn.
  void ReserveColumns(size_t columns) { columns_.reserve(columns); }

  int32_t ColumnCount() const { return static_cast<int32_t>(columns_.size()); }
  int32_t RowCount() const { return rows_; }
  const std::string& ColumnName(int32_t column) const { return columns_[column].name; }
  int32_t ColumnType(int32_t column) const;
  // Case-insensitive; -1 when there is no such column.
  int32_t FindColumn(std::string_view name) const;

  bool IsNull(int32_t row, int32_t column) const;
  Variant Value(int32_t row, int32_t column) const;

  size_t MemoryUsage() const;

 private:
  enum class Storage : uint8_t { kOpen, kBool, kByte, kInt16, kInt32, kInt64, kDouble, kText };
  struct Column {
    std::string name;
    int32_t type = 0;
    Storage storage = Storage::kOpen;
    bool open_type = false;      // type decided by the values (adEmpty)
    std::vector<uint8_t> fixed;  // row-major values of `width` bytes
    std::vector<uint32_t> ends;  // text: end offset of each row in `text`
    std::string text;
    std::vector<uint64_t> nulls;  // bit per row; empty while no row is null
  };

  Column& Next();
  void EndValue();
  void SetNull(Column& c, int32_t row);
  void Settle(Column& c, Storage storage);
  void Widen(Column& c, Storage storage);
  void PushFixed(Column& c, const void* value, size_t width);
  static size_t Width(Storage s);
  int64_t IntegerAt(const Column& c, int32_t row) const;

  std::vector<Column> columns_;
  int32_t rows_ = 0;
  int32_t next_ = 0;
};

}  // namespace kx4::ado

#endif  // KX4DATA_DATAACCESS_RESULTTABLE_H_
