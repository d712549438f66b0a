#include <kx4data/ado/Recordset.h>

#include <kx4data/RuntimeError.h>

#include "dataaccess/Command.h"
#include "dataaccess/RecordsetInternal.h"
#include "dataaccess/ResultTable.h"

namespace kx4::ado {
namespace {

[[noreturn]] void Closed() {
  throw RuntimeError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void NoCurrentRecord() {
  throw RuntimeError(kErrNoCurrentRecord,
                     "Either BOF or EOF is True, or the current record has been deleted. "
                     "Requested operation requires a current record.");
}

[[noreturn]] void NotFound() {
  throw RuntimeError(kErrItemNotFound,
                     "Item cannot be found in the collection corresponding to the requested name "
                     "or ordinal.");
}

}  // namespace

// A field outlives neither the rows it was taken from nor their columns: its
// record set may have been closed, or reopened with fewer columns, since.
const ResultTable& Field::Rows() const {
  if (!owner_->rows_)
    Closed();
  if (column_ >= owner_->rows_->ColumnCount())
    NotFound();
  return *owner_->rows_;
}

const std::string& Field::Name() const {
  return Rows().ColumnName(column_);
}

int32_t Field::Type() const {
  return Rows().ColumnType(column_);
}

Variant Field::Value() const {
  const ResultTable& rows = Rows();
  if (owner_->Bof() || owner_->Eof())
    NoCurrentRecord();
  return rows.Value(owner_->position_, column_);
}

bool Field::IsNull() const {
  const ResultTable& rows = Rows();
  if (owner_->Bof() || owner_->Eof())
    NoCurrentRecord();
  return rows.IsNull(owner_->position_, column_);
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void RecordsetInternal::Open(Recordset& rs, Command& source, int32_t, int32_t, int32_t) {
  if (rs.rows_)
    throw RuntimeError(kErrProviderFailure, "Operation is not allowed when the object is open.");
  auto table = std::make_shared<ResultTable>();
  if (source.ExecuteInto(*table))
    Adopt(rs, std::move(table));
}

void Recordset::Close() {
  if (!rows_)
    Closed();
  rows_.reset();
  position_ = 0;
}

bool Recordset::Bof() const {
  if (!rows_)
    Closed();
  return position_ < 0 || rows_->RowCount() == 0;
}

bool Recordset::Eof() const {
  if (!rows_)
    Closed();
  return position_ >= rows_->RowCount();
}

void Recordset::MoveFirst() {
  if (!rows_)
    Closed();
  position_ = 0;
}

void Recordset::MoveLast() {
  if (!rows_)
    Closed();
  position_ = rows_->RowCount() == 0 ? 0 : rows_->RowCount() - 1;
}

void Recordset::MoveNext() {
  if (Eof())
    NoCurrentRecord();
  ++position_;
}

void Recordset::MovePrevious() {
  if (Bof())
    NoCurrentRecord();
  --position_;
}

int32_t Recordset::RecordCount() const {
  return rows_ ? rows_->RowCount() : -1;
}

int32_t Recordset::FieldCount() const {
  if (!rows_)
    Closed();
  return rows_->ColumnCount();
}

Field Recordset::Fields(int32_t index) const {
  if (!rows_)
    Closed();
  if (index < 0 || index >= rows_->ColumnCount())
    NotFound();
  return Field(this, index);
}

Field Recordset::Fields(std::string_view name) const {
  if (!rows_)
    Closed();
  const int32_t index = rows_->FindColumn(name);
  if (index < 0)
    NotFound();
  return Field(this, index);
}

size_t RecordsetInternal::MemoryUsage(const Recordset& rs) {
  return rs.rows_ ? rs.rows_->MemoryUsage() + sizeof(rs) : sizeof(rs);
}

}  // namespace kx4::ado
