#include "dataaccess/dialect/Catalogue.h"

#include <kx4data/ado/Command.h>
#include <kx4data/ado/Types.h>

#include "variant/Utf8.h"

namespace kx4::ado::dialect {
namespace {

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

}  // namespace

ValueKind KindOfAdoType(int32_t type) {
  switch (type) {
    case adEmpty:
      return ValueKind::kNull;
    case adBoolean:
    case adTinyInt:
    case adUnsignedTinyInt:
    case adSmallInt:
    case adInteger:
    case adBigInt:
      return ValueKind::kInteger;
    case adSingle:
    case adDouble:
      return ValueKind::kFloat;
    case adCurrency:
      return ValueKind::kMoney;
    case adNumeric:
      return ValueKind::kDecimal;
    case adDate:
    case adDBDate:
    case adDBTime:
    case adDBTimeStamp:
    case adDBFileTime:
      return ValueKind::kDate;
    case adBSTR:
    case adChar:
    case adWChar:
    case adVarChar:
    case adLongVarChar:
    case adVarWChar:
    case adLongVarWChar:
      return ValueKind::kText;
    default:
      return ValueKind::kUnknown;
  }
}

ValueKind KindOfParameter(const Parameter& parameter) {
  const Variant& v = parameter.Value();
  if (v.IsNull() || v.IsEmpty())
    return ValueKind::kNull;
  if (parameter.Type() != adNumeric)
    return KindOfAdoType(parameter.Type());
  if (v.Get<Currency>())
    return ValueKind::kMoney;
  if (v.Get<double>() || v.Get<float>())
    return ValueKind::kFloat;
  if (v.Get<DateTime>())
    return ValueKind::kDate;
  if (v.IsString())
    return ValueKind::kText;
  return ValueKind::kInteger;
}

size_t Catalogue::Hash::operator()(std::string_view s) const {
  size_t h = 1469598103934665603ull;
  for (char c : s)
    h = (h ^ static_cast<unsigned char>(Fold(c))) * 1099511628211ull;
  return h;
}

bool Catalogue::Equal::operator()(std::string_view a, std::string_view b) const {
  return EqualsAsciiNoCase(a, b);
}

void Catalogue::Clear() {
  tables_.clear();
  money_names_.clear();
}

void Catalogue::Add(std::string_view table, std::string_view column, ValueKind kind, bool flag) {
  auto t = tables_.find(table);
  if (t == tables_.end())
    t = tables_.emplace(std::string(table), Columns()).first;
  t->second.insert_or_assign(std::string(column), Column{kind, flag});
  if (kind == ValueKind::kMoney)
    money_names_.try_emplace(std::string(column), true);
}

const Catalogue::Column* Catalogue::Find(std::string_view table, std::string_view column) const {
  const auto t = tables_.find(table);
  if (t == tables_.end())
    return nullptr;
  const auto c = t->second.find(column);
  return c == t->second.end() ? nullptr : &c->second;
}

bool Catalogue::HasTable(std::string_view table) const {
  return tables_.find(table) != tables_.end();
}

ValueKind Catalogue::Kind(std::string_view table, std::string_view column) const {
  const Column* c = Find(table, column);
  return c ? c->kind : ValueKind::kUnknown;
}

bool Catalogue::IsFlag(std::string_view table, std::string_view column) const {
  const Column* c = Find(table, column);
  return c && c->flag;
}

bool Catalogue::IsMoneyName(std::string_view column) const {
  return money_names_.find(column) != money_names_.end();
}

}  // namespace kx4::ado::dialect
