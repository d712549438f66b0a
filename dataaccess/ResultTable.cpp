#include "dataaccess/ResultTable.h"

#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Types.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "dataaccess/dialect/Catalogue.h"
#include "variant/Utf8.h"

namespace kx4::ado {
namespace {

bool IsTextType(int32_t t) {
  return dialect::KindOfAdoType(t) == dialect::ValueKind::kText;
}

}  // namespace

size_t ResultTable::Width(Storage s) {
  switch (s) {
    case Storage::kBool:
    case Storage::kByte:
      return 1;
    case Storage::kInt16:
      return 2;
    case Storage::kInt32:
      return 4;
    case Storage::kInt64:
    case Storage::kDouble:
      return 8;
    default:
      return 0;
  }
}

int32_t ResultTable::AddColumn(std::string name, int32_t ado_type) {
  Column c;
  c.name = std::move(name);
  c.type = ado_type;
  switch (ado_type) {
    case adBoolean:
      c.storage = Storage::kBool;
      break;
    case adTinyInt:
    case adUnsignedTinyInt:
      c.storage = Storage::kByte;
      break;
    case adSmallInt:
      c.storage = Storage::kInt16;
      break;
    case adInteger:
      c.storage = Storage::kInt32;
      break;
    case adBigInt:
    case adCurrency:
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
      c.storage = Storage::kInt64;
      break;
    case adSingle:
    case adDouble:
    case adNumeric:
      c.storage = Storage::kDouble;
      break;
    case adEmpty:
      c.storage = Storage::kOpen;
      c.open_type = true;
      c.type = adInteger;
      break;
    default:
      c.storage = Storage::kText;
      if (!IsTextType(ado_type))
        c.type = adVarWChar;
      break;
  }
  columns_.push_back(std::move(c));
  return static_cast<int32_t>(columns_.size()) - 1;
}

ResultTable::Column& ResultTable::Next() {
  if (columns_.empty())
    throw RuntimeError(kErrProviderFailure, "Result table has no columns.");
  return columns_[next_];
}

void ResultTable::EndValue() {
  if (++next_ == static_cast<int32_t>(columns_.size())) {
    next_ = 0;
    ++rows_;
  }
}

void ResultTable::PushFixed(Column& c, const void* value, size_t width) {
  const size_t at = c.fixed.size();
  c.fixed.resize(at + width);
  std::memcpy(c.fixed.data() + at, value, width);
}

void ResultTable::SetNull(Column& c, int32_t row) {
  const size_t word = static_cast<size_t>(row) / 64;
  if (c.nulls.size() <= word)
    c.nulls.resize(word + 1 + c.nulls.size() / 2, 0);
  c.nulls[word] |= uint64_t{1} << (row % 64);
}

// Gives an open column its storage; the rows appended so far were all null.
void ResultTable::Settle(Column& c, Storage storage) {
  c.storage = storage;
  if (storage == Storage::kText)
    c.ends.assign(rows_, 0);
  else
    c.fixed.assign(rows_ * Width(storage), 0);
}

int64_t ResultTable::IntegerAt(const Column& c, int32_t row) const {
  const uint8_t* p = c.fixed.data() + static_cast<size_t>(row) * Width(c.storage);
  switch (c.storage) {
    case Storage::kBool:
    case Storage::kByte:
      return *p;
    case Storage::kInt16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case Storage::kInt32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case Storage::kInt64: {
      int64_t v;
      std::memcpy(&v, p, 8);
      return v;
    }
    default:
      return 0;
  }
}

// Moves the values already stored to a wider representation; the column's
// type follows.  Rare: only values a provider would never deliver for the
// declared type (a SMALLINT column holding 100000) take this path.
void ResultTable::Widen(Column& c, Storage storage) {
  const int32_t rows = rows_;
  Column w;
  w.storage = storage;
  for (int32_t r = 0; r < rows; ++r) {
    const bool null = IsNull(r, static_cast<int32_t>(&c - columns_.data()));
    if (storage == Storage::kText) {
      if (!null) {
        char buf[40];
        if (c.storage == Storage::kDouble) {
          double d;
          std::memcpy(&d, c.fixed.data() + r * 8, 8);
          std::snprintf(buf, sizeof buf, "%.17g", d);
        } else {
          std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(IntegerAt(c, r)));
        }
        w.text += buf;
      }
      w.ends.push_back(static_cast<uint32_t>(w.text.size()));
    } else if (storage == Storage::kDouble) {
      double d = static_cast<double>(IntegerAt(c, r));
      PushFixed(w, &d, 8);
    } else {
      int64_t v = IntegerAt(c, r);
      PushFixed(w, &v, Width(storage));
    }
  }
  c.fixed = std::move(w.fixed);
  c.ends = std::move(w.ends);
  c.text = std::move(w.text);
  c.storage = storage;
  switch (storage) {
    case Storage::kInt32:
      c.type = adInteger;
      break;
    case Storage::kInt64:
      if (c.type != adCurrency && c.type != adDBTimeStamp)
        c.type = adBigInt;
      break;
    case Storage::kDouble:
      c.type = adDouble;
      break;
    case Storage::kText:
      c.type = adVarWChar;
      break;
    default:
      break;
  }
}

void ResultTable::AppendNull() {
  Column& c = Next();
  SetNull(c, rows_);
  switch (c.storage) {
    case Storage::kOpen:
      break;
    case Storage::kText:
      c.ends.push_back(static_cast<uint32_t>(c.text.size()));
      break;
    default:
      c.fixed.resize(c.fixed.size() + Width(c.storage), 0);
      break;
  }
  EndValue();
}

void ResultTable::AppendInteger(int64_t value) {
  Column& c = Next();
  if (c.storage == Storage::kOpen)
    Settle(c, Storage::kInt32);
  switch (c.storage) {
    case Storage::kBool: {
      uint8_t b = value != 0;
      c.fixed.push_back(b);
      break;
    }
    case Storage::kByte:
      if (value < 0 || value > 255) {
        Widen(c, Storage::kInt32);
        return AppendInteger(value);
      }
      c.fixed.push_back(static_cast<uint8_t>(value));
      break;
    case Storage::kInt16: {
      if (value < INT16_MIN || value > INT16_MAX) {
        Widen(c, Storage::kInt32);
        return AppendInteger(value);
      }
      int16_t v = static_cast<int16_t>(value);
      PushFixed(c, &v, 2);
      break;
    }
    case Storage::kInt32: {
      if (value < INT32_MIN || value > INT32_MAX) {
        Widen(c, Storage::kInt64);
        return AppendInteger(value);
      }
      int32_t v = static_cast<int32_t>(value);
      PushFixed(c, &v, 4);
      break;
    }
    case Storage::kInt64:
      PushFixed(c, &value, 8);
      break;
    case Storage::kDouble: {
      double d = static_cast<double>(value);
      PushFixed(c, &d, 8);
      break;
    }
    case Storage::kText: {
      char buf[24];
      int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
      return AppendText(std::string_view(buf, n));
    }
    default:
      break;
  }
  EndValue();
}

void ResultTable::AppendDouble(double value) {
  Column& c = Next();
  if (c.storage == Storage::kOpen) {
    // A column of no declared type whose first value is a real.
    Settle(c, Storage::kDouble);
    c.type = adDouble;
  }
  switch (c.storage) {
    case Storage::kDouble:
      PushFixed(c, &value, 8);
      break;
    case Storage::kBool: {
      uint8_t b = value != 0;
      c.fixed.push_back(b);
      break;
    }
    case Storage::kText: {
      char buf[40];
      int n = std::snprintf(buf, sizeof buf, "%.17g", value);
      return AppendText(std::string_view(buf, n));
    }
    default:
      if (c.type == adCurrency || c.type == adDBTimeStamp || c.type == adDate) {
        int64_t v = std::llround(value);
        PushFixed(c, &v, 8);
        break;
      }
      if (value == std::trunc(value) && std::fabs(value) < 9.2e18)
        return AppendInteger(static_cast<int64_t>(value));
      Widen(c, Storage::kDouble);
      return AppendDouble(value);
  }
  EndValue();
}

void ResultTable::AppendCurrency(int64_t ticks) {
  Column& c = Next();
  if (c.storage == Storage::kOpen) {
    Settle(c, Storage::kInt64);
    c.type = adCurrency;
  }
  if (c.storage == Storage::kInt64) {
    PushFixed(c, &ticks, 8);
    EndValue();
    return;
  }
  AppendDouble(static_cast<double>(ticks) / 10000.0);
}

void ResultTable::AppendDate(int64_t seconds) {
  Column& c = Next();
  if (c.storage == Storage::kOpen) {
    Settle(c, Storage::kInt64);
    c.type = adDBTimeStamp;
  }
  if (c.storage == Storage::kInt64) {
    PushFixed(c, &seconds, 8);
    EndValue();
    return;
  }
  AppendText(DateTime::FromSeconds(seconds).Format("yyyy-MM-dd HH:mm:ss"));
}

void ResultTable::AppendText(std::string_view value) {
  Column& c = Next();
  if (c.storage == Storage::kOpen) {
    Settle(c, Storage::kText);
    c.type = adVarWChar;
  }
  if (c.storage != Storage::kText)
    Widen(c, Storage::kText);
  if (c.text.size() + value.size() > std::numeric_limits<uint32_t>::max())
    throw RuntimeError(kErrProviderFailure, "Result set too large: a text column exceeds 4 GB.");
  c.text.append(value);
  c.ends.push_back(static_cast<uint32_t>(c.text.size()));
  EndValue();
}

void ResultTable::Reserve(size_t rows) {
  for (Column& c : columns_) {
    if (c.storage == Storage::kText)
      c.ends.reserve(rows);
    else if (c.storage != Storage::kOpen)
      c.fixed.reserve(rows * Width(c.storage));
  }
}

void ResultTable::Finish() {
  for (Column& c : columns_) {
    if (c.storage == Storage::kOpen)
      Settle(c, Storage::kInt32);
    c.fixed.shrink_to_fit();
    c.ends.shrink_to_fit();
    c.text.shrink_to_fit();
    const size_t words = (static_cast<size_t>(rows_) + 63) / 64;
    if (!c.nulls.empty()) {
      c.nulls.resize(words, 0);
      c.nulls.shrink_to_fit();
    }
  }
}

int32_t ResultTable::ColumnType(int32_t column) const {
  return columns_[column].type;
}

int32_t ResultTable::FindColumn(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].name.size() == name.size() && EqualsAsciiNoCase(columns_[i].name, name))
      return static_cast<int32_t>(i);
  return -1;
}

bool ResultTable::IsNull(int32_t row, int32_t column) const {
  const Column& c = columns_[column];
  const size_t word = static_cast<size_t>(row) / 64;
  return word < c.nulls.size() && (c.nulls[word] >> (row % 64) & 1) != 0;
}

Variant ResultTable::Value(int32_t row, int32_t column) const {
  if (row < 0 || row >= rows_ || column < 0 || column >= ColumnCount())
    throw RuntimeError(kErrNoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted.");
  const Column& c = columns_[column];
  if (IsNull(row, column) || c.storage == Storage::kOpen)
    return Variant::Null();
  switch (c.storage) {
    case Storage::kText: {
      const uint32_t begin = row == 0 ? 0 : c.ends[row - 1];
      return Variant(std::string(c.text.data() + begin, c.ends[row] - begin));
    }
    case Storage::kDouble: {
      double d;
      std::memcpy(&d, c.fixed.data() + static_cast<size_t>(row) * 8, 8);
      if (c.type == adSingle)
        return Variant(static_cast<float>(d));
      return Variant(d);
    }
    default:
      break;
  }
  const int64_t v = IntegerAt(c, row);
  switch (c.type) {
    case adBoolean:
      return Variant(v != 0);
    case adTinyInt:
    case adUnsignedTinyInt:
      return Variant(static_cast<uint8_t>(v));
    case adSmallInt:
      return Variant(static_cast<int16_t>(v));
    case adInteger:
      return Variant(static_cast<int32_t>(v));
    case adCurrency:
      return Variant(Currency::FromTicks(v));
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
      return Variant(DateTime::FromSeconds(v));
    default:
      return Variant(static_cast<double>(v));  // adBigInt: exact up to 2^53
  }
}

size_t ResultTable::MemoryUsage() const {
  size_t total = sizeof(*this) + columns_.capacity() * sizeof(Column);
  for (const Column& c : columns_) {
    total += c.name.capacity() + c.fixed.capacity() + c.ends.capacity() * sizeof(uint32_t) +
             c.text.capacity() + c.nulls.capacity() * sizeof(uint64_t);
  }
  return total;
}

}  // namespace kx4::ado
