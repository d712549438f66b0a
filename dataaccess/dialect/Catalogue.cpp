#include "dataaccess/dialect/Catalogue.h"

#include <kx4data/ado/Types.h>

#include "dataaccess/Command.h"
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
  columns_.clear();
  tables_.clear();
  money_names_.Clear();
  case_names_.Clear();
  ++version_;
}

void Catalogue::Add(std::string_view table, std::string_view column, ValueKind kind, bool flag) {
  ++version_;
  tables_.try_emplace(std::string(table), false);
  auto c = columns_.find(column);
  if (c == columns_.end())
    c = columns_.emplace(std::string(column), std::vector<Entry>()).first;
  bool replaced = false;
  for (Entry& e : c->second) {
    if (EqualsAsciiNoCase(e.table, table)) {
      e.kind = kind;
      e.flag = flag;
      replaced = true;
    }
  }
  if (!replaced)
    c->second.push_back(Entry{std::string(table), kind, flag});
  if (kind == ValueKind::kMoney)
    money_names_.Insert(column);
  else if (kind == ValueKind::kTextCi)
    case_names_.Insert(column);
}

const std::vector<Catalogue::Entry>* Catalogue::Columns(std::string_view column) const {
  const auto c = columns_.find(column);
  return c == columns_.end() ? nullptr : &c->second;
}

const Catalogue::Entry* Catalogue::Find(std::string_view table, std::string_view column) const {
  if (const std::vector<Entry>* entries = Columns(column))
    for (const Entry& e : *entries)
      if (EqualsAsciiNoCase(e.table, table))
        return &e;
  return nullptr;
}

bool Catalogue::HasTable(std::string_view table) const {
  return tables_.find(table) != tables_.end();
}

ValueKind Catalogue::Kind(std::string_view table, std::string_view column) const {
  const Entry* e = Find(table, column);
  return e ? e->kind : ValueKind::kUnknown;
}

bool Catalogue::IsFlag(std::string_view table, std::string_view column) const {
  const Entry* e = Find(table, column);
  return e && e->flag;
}

void Catalogue::SetIdentity(std::string_view table) {
  tables_.insert_or_assign(std::string(table), true);
}

bool Catalogue::HasIdentity(std::string_view table) const {
  const auto t = tables_.find(table);
  return t != tables_.end() && t->second;
}

void Catalogue::NameSet::Clear() {
  names_.clear();
  lengths_ = 0;
}

void Catalogue::NameSet::Insert(std::string_view name) {
  names_.try_emplace(std::string(name), true);
  if (name.size() < 64)
    lengths_ |= uint64_t{1} << name.size();
}

bool Catalogue::NameSet::Contains(std::string_view name) const {
  if (name.size() < 64 && !(lengths_ >> name.size() & 1))
    return false;
  return names_.find(name) != names_.end();
}

}  // namespace kx4::ado::dialect
