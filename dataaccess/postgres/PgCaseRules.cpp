#include "dataaccess/postgres/PgCaseRules.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "dataaccess/CaseRules.h"
#include "dataaccess/dialect/Operand.h"
#include "dataaccess/postgres/PgDialect.h"
#include "dataaccess/postgres/PgErrors.h"
#include "dataaccess/postgres/PgValues.h"
#include "variant/Utf8.h"

namespace kx4::ado::pg {

using dialect::Operand;
using dialect::Significant;
using dialect::Token;
using dialect::TokenKind;
using dialect::Translator;
using dialect::WordIs;

namespace {

// The characters beyond ASCII that a mapping changes, and what it changes
// them into, in translate()'s form.  ASCII is left to upper()/lower() in the
// C collation, which change a-z and A-Z only, as the library's table does.
struct FoldTable {
  std::string from;
  std::string to;
};

// The table maps letters of the Basic Multilingual Plane only (a test holds
// it to that); scanning the plane takes well under a millisecond.
FoldTable BuildTable(char32_t (*map)(char32_t)) {
  FoldTable table;
  for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF)
      continue;
    const char32_t mapped = map(c);
    if (mapped != c) {
      AppendUtf8(c, table.from);
      AppendUtf8(mapped, table.to);
    }
  }
  return table;
}

const FoldTable& UpperTable() {
  static const FoldTable table = BuildTable(UpperChar);
  return table;
}

const FoldTable& LowerTable() {
  static const FoldTable table = BuildTable(LowerChar);
  return table;
}

// An ASCII text is folded by the built-in in the C collation, cheaply.  Any
// other is folded that way too and then translated: translate() looks each
// character up in its list one by one, so the list starts with the ASCII
// characters that the first step leaves, most frequent first, mapped to
// themselves; the library's table follows.  `value` is folded, `text`
// tested.
std::string FoldExpression(std::string_view function, std::string_view ascii_first,
                           std::string_view text, std::string_view value, const FoldTable& table) {
  const std::string t(text);
  const std::string folded = std::string(function) + "(" + std::string(value) + " COLLATE \"C\")";
  const std::string front(ascii_first);
  return "SELECT CASE WHEN octet_length(" + t + ") = char_length(" + t + ") THEN " + folded +
         " ELSE translate(" + folded + ", '" + front + table.from + "', '" + front + table.to +
         "') END";
}

constexpr std::string_view kUpperFirst = "ETAOINSRHLDCUMFPGWYBVKXJQZ 0123456789.-_:\\/,()@#&+";
constexpr std::string_view kLowerFirst = "etaoinsrhldcumfpgwybvkxjqz 0123456789.-_:\\/,()@#&+";

struct CaseFunction {
  const char* name;
  std::string body;  // what pg_proc.prosrc holds
};

const std::vector<CaseFunction>& CaseFunctions() {
  static const std::vector<CaseFunction> functions = {
      {"kx4_upper", FoldExpression("upper", kUpperFirst, "$1", "$1", UpperTable())},
      {"kx4_lower", FoldExpression("lower", kLowerFirst, "$1", "$1", LowerTable())},
      {"kx4_key", FoldExpression("upper", kUpperFirst, "$1", "rtrim($1, ' ')", UpperTable())}};
  return functions;
}

// One row per finding, (kind, name, flag): 'e' the encoding; 'f' each case
// function there is, flagged when its body is the library's ($1..$3); 'c'
// each kx4_ci column; 'k' each key column that is not kx4_ci.  The bodies
// travel as bytes, which no server encoding converts.  Index scans only: it
// runs on every new connection.
const std::string& CatalogueQuery() {
  static const std::string query = [] {
    std::string keys;
    for (const TableColumn& key : kCaseInsensitiveKeys) {
      keys += keys.empty() ? "('" : ", ('";
      keys += AsciiLower(key.table) + "', '" + AsciiLower(key.column) + "')";
    }
    std::string functions;
    int parameter = 0;
    for (const CaseFunction& f : CaseFunctions()) {
      functions += functions.empty() ? "" : " OR ";
      functions += "p.oid = pg_catalog.to_regprocedure('" + std::string(f.name) +
                   "(text)') AND pg_catalog.convert_to(p.prosrc, 'UTF8') = $" +
                   std::to_string(++parameter);
    }
    return "SELECT 'e', pg_catalog.current_setting('server_encoding'), true "
           "UNION ALL SELECT 'f', p.proname::text, " +
           functions +
           " FROM pg_catalog.pg_proc p WHERE p.oid IN "
           "(pg_catalog.to_regprocedure('kx4_upper(text)'), "
           "pg_catalog.to_regprocedure('kx4_lower(text)'), "
           "pg_catalog.to_regprocedure('kx4_key(text)')) "
           "UNION ALL SELECT 'c', pg_catalog.lower(a.attname), true FROM pg_catalog.pg_depend d "
           "JOIN pg_catalog.pg_attribute a ON a.attrelid = d.objid AND a.attnum = d.objsubid "
           "WHERE d.refclassid = 'pg_catalog.pg_type'::pg_catalog.regclass "
           "AND d.refobjid = (SELECT pg_catalog.to_regtype('kx4_ci')) AND d.refobjsubid = 0 "
           "AND d.classid = 'pg_catalog.pg_class'::pg_catalog.regclass AND NOT a.attisdropped "
           "UNION ALL SELECT 'k', k.tbl || '.' || k.col, true FROM (VALUES " +
           keys +
           ") k(tbl, col) JOIN pg_catalog.pg_attribute a "
           "ON a.attrelid = pg_catalog.to_regclass(k.tbl) AND a.attname = k.col "
           "WHERE a.atttypid IS DISTINCT FROM (SELECT pg_catalog.to_regtype('kx4_ci'))";
  }();
  return query;
}

// --- Rewriting -----------------------------------------------------------

bool IsNameToken(const Token& token) {
  return token.kind == TokenKind::kWord || token.kind == TokenKind::kQuotedName;
}

// Emits an operand for kx4_key or kx4_upper: UPPER(x) as x, which folds the
// same.
void EmitUnfolded(Translator& translator, const Operand& operand, std::string& out) {
  if (operand.IsCallOf(translator, "UPPER"))
    translator.EmitRange(operand.open + 1, operand.end - 1, out);
  else
    translator.EmitRange(operand.begin, operand.end, out);
}

void EmitKey(Translator& translator, const Operand& operand, std::string& out) {
  out += "kx4_key(";
  EmitUnfolded(translator, operand, out);
  out += ')';
}

// As the embedded engine compares: a kx4_ci column on the left decides (on
// the right only against a literal or a parameter), and UPPER(...) against a
// literal or a parameter compares without case and trailing blanks there too.
bool ComparesByKey(const Translator& translator, const dialect::Comparison& c,
                   const CaseColumns& columns) {
  switch (c.left.kind) {
    case Operand::Kind::kCall:
      return c.left.IsCallOf(translator, "UPPER") &&
             (c.right.kind == Operand::Kind::kString || c.right.kind == Operand::Kind::kMarker);
    case Operand::Kind::kColumn:
      return columns.Contains(c.left.Name(translator));
    case Operand::Kind::kString:
    case Operand::Kind::kMarker:
      return c.right.kind == Operand::Kind::kColumn && columns.Contains(c.right.Name(translator));
    default:
      return false;
  }
}

size_t EmitKeyComparison(Translator& translator, const dialect::Comparison& c, std::string& out) {
  EmitKey(translator, c.left, out);
  translator.EmitRange(c.left.end, c.right.begin, out);  // the operator and its blanks
  EmitKey(translator, c.right, out);
  return c.right.end - c.left.begin;
}

// The embedded engine's LIKE ignores case, by the library's table: both
// sides upper-cased here.
size_t EmitFoldedLike(Translator& translator, const dialect::LikeTest& like, size_t end,
                      std::string& out) {
  out += "kx4_upper(";
  if (like.subject.IsCallOf(translator, "LOWER")) {
    out += "kx4_lower(";
    translator.EmitRange(like.subject.open + 1, like.subject.end - 1, out);
    out += ')';
  } else {
    EmitUnfolded(translator, like.subject, out);
  }
  out += ')';
  translator.EmitRange(like.subject.end, like.like, out);  // blanks, NOT
  const size_t used = TranslateLike(translator, like.like, end, true, out);
  return like.like + used - like.subject.begin;
}

// The SELECT at the level of the clause at `i`; nullopt when there is none
// or it is one arm of a set operation (whose ORDER BY names output columns).
std::optional<size_t> OwningSelect(const Translator& translator, size_t i) {
  const std::vector<Token>& tokens = translator.Tokens();
  const auto set_operation = [](const Token& t) {
    return WordIs(t, "UNION") || WordIs(t, "EXCEPT") || WordIs(t, "INTERSECT");
  };
  const size_t select = dialect::FindBackAtLevel(tokens, i, [&](const Token& t) {
    return t.kind == TokenKind::kSemicolon || set_operation(t) || WordIs(t, "SELECT");
  });
  if (select == SIZE_MAX || !WordIs(tokens[select], "SELECT"))
    return std::nullopt;
  const size_t before = dialect::PreviousSignificant(tokens, select);
  if (before != SIZE_MAX && (set_operation(tokens[before]) || WordIs(tokens[before], "ALL")))
    return std::nullopt;
  return select;
}

// The comma-separated items of a clause from `begin`: each [first, second)
// of them, up to a ")" closing the level, one of `stops` or `end`.
std::vector<std::pair<size_t, size_t>> SplitClause(const Translator& translator, size_t begin,
                                                   size_t end,
                                                   std::initializer_list<std::string_view> stops) {
  const std::vector<Token>& tokens = translator.Tokens();
  std::vector<std::pair<size_t, size_t>> items;
  size_t item = begin;
  int depth = 0;
  for (size_t j = begin;; ++j) {
    if (j < end) {
      const Token& t = tokens[j];
      if (t.kind == TokenKind::kOpen) {
        ++depth;
        continue;
      }
      if (t.kind == TokenKind::kClose) {
        if (depth-- > 0)
          continue;
      } else if (depth > 0) {
        continue;
      } else if (t.kind == TokenKind::kComma) {
        items.emplace_back(item, j);
        item = j + 1;
        continue;
      } else if (t.kind != TokenKind::kSemicolon &&
                 std::none_of(stops.begin(), stops.end(),
                              [&](std::string_view w) { return WordIs(t, w); })) {
        continue;
      }
    }
    items.emplace_back(item, j);
    return items;
  }
}

struct SelectItem {
  std::optional<Operand> column;  // the item is this column alone
  std::string_view name;          // its alias, or the column's own name
  bool folded = false;            // a kx4_ci column
};

struct SelectList {
  bool distinct = false;
  std::vector<SelectItem> items;
};

SelectItem ReadItem(const Translator& translator, size_t begin, size_t end,
                    const CaseColumns& columns) {
  const std::vector<Token>& tokens = translator.Tokens();
  SelectItem item;
  const size_t first = translator.NextSignificant(begin, end);
  if (first >= end)
    return item;
  size_t last = end;
  while (last > first && !Significant(tokens[last - 1]))
    --last;
  --last;
  const std::optional<Operand> operand = dialect::ReadOperand(translator, first, end);
  if (operand && operand->kind == Operand::Kind::kColumn) {
    const size_t after = translator.NextSignificant(operand->end, end);
    size_t alias = after;
    if (after < end && WordIs(tokens[after], "AS"))
      alias = translator.NextSignificant(after + 1, end);
    if (after >= end) {
      item.column = operand;
      item.name = operand->Name(translator);
    } else if (alias == last && IsNameToken(tokens[alias])) {
      item.column = operand;
      item.name = dialect::NameText(tokens[alias]);
    }
    item.folded = item.column && columns.Contains(operand->Name(translator));
    return item;
  }
  // An expression's alias: ORDER BY that name must stay as it is.
  const size_t before = dialect::PreviousSignificant(tokens, last);
  if (last > first && IsNameToken(tokens[last]) && before != SIZE_MAX &&
      tokens[before].kind != TokenKind::kOperator && tokens[before].kind != TokenKind::kDot)
    item.name = dialect::NameText(tokens[last]);
  return item;
}

// The select list of the SELECT at `select`, up to FROM (or `end`).
SelectList ReadSelectList(const Translator& translator, size_t select, size_t end,
                          const CaseColumns& columns) {
  const std::vector<Token>& tokens = translator.Tokens();
  SelectList list;
  size_t k = translator.NextSignificant(select + 1, end);
  if (k < end && (WordIs(tokens[k], "DISTINCT") || WordIs(tokens[k], "ALL"))) {
    list.distinct = WordIs(tokens[k], "DISTINCT");
    k = translator.NextSignificant(k + 1, end);
  }
  if (k < end && WordIs(tokens[k], "TOP")) {
    k = translator.NextSignificant(k + 1, end);
    if (k < end && tokens[k].kind == TokenKind::kOpen)
      k = translator.MatchingClose(k, end);
    k = translator.NextSignificant(k + 1, end);
    while (k < end &&
           (WordIs(tokens[k], "PERCENT") || WordIs(tokens[k], "WITH") || WordIs(tokens[k], "TIES")))
      k = translator.NextSignificant(k + 1, end);
  }
  for (const auto& [b, e] : SplitClause(translator, k, end, {"FROM", "INTO"}))
    list.items.push_back(ReadItem(translator, b, e, columns));
  return list;
}

// The column an ORDER BY item sorts a kx4_ci column by, and where the item's
// operand ends; nullopt when the item sorts otherwise.
struct SortKey {
  Operand column;
  size_t operand_end;
};

std::optional<SortKey> ReadSortKey(const Translator& translator, size_t begin, size_t end,
                                   const SelectList& list, const CaseColumns& columns) {
  const std::vector<Token>& tokens = translator.Tokens();
  const size_t first = translator.NextSignificant(begin, end);
  if (first >= end)
    return std::nullopt;
  std::optional<SortKey> key;
  if (tokens[first].kind == TokenKind::kNumber) {
    size_t position = 0;
    for (char c : tokens[first].text) {
      if (c < '0' || c > '9' || position > list.items.size())
        return std::nullopt;
      position = position * 10 + static_cast<size_t>(c - '0');
    }
    if (position >= 1 && position <= list.items.size() && list.items[position - 1].folded)
      key = SortKey{*list.items[position - 1].column, first + 1};
  } else if (std::optional<Operand> operand = dialect::ReadOperand(translator, first, end);
             operand && operand->kind == Operand::Kind::kColumn) {
    const SelectItem* named = nullptr;
    int matches = 0;
    if (operand->name == operand->begin) {
      for (const SelectItem& item : list.items) {
        if (!item.name.empty() && EqualsAsciiNoCase(item.name, operand->Name(translator))) {
          named = &item;
          ++matches;
        }
      }
    }
    if (matches == 1 && named->folded)
      key = SortKey{*named->column, operand->end};
    else if (matches == 0 && columns.Contains(operand->Name(translator)))
      key = SortKey{*operand, operand->end};
  }
  if (!key)
    return std::nullopt;
  // Nothing but the direction may follow.
  for (size_t k = translator.NextSignificant(key->operand_end, end); k < end;
       k = translator.NextSignificant(k + 1, end)) {
    if (!(WordIs(tokens[k], "ASC") || WordIs(tokens[k], "DESC") || WordIs(tokens[k], "NULLS") ||
          WordIs(tokens[k], "FIRST") || WordIs(tokens[k], "LAST")))
      return std::nullopt;
  }
  return key;
}

size_t EmitOrderBy(Translator& translator, size_t i, size_t end, const CaseColumns& columns,
                   std::string& out) {
  const std::vector<Token>& tokens = translator.Tokens();
  const size_t by = translator.NextSignificant(i + 1, end);
  if (by >= end || !WordIs(tokens[by], "BY"))
    return 0;
  const std::optional<size_t> select = OwningSelect(translator, i);
  if (!select)
    return 0;
  const SelectList list = ReadSelectList(translator, *select, i, columns);
  // DISTINCT sorts by what it selects: only the one-column form below has
  // its key in the list.
  if (list.distinct && !(list.items.size() == 1 && list.items[0].folded))
    return 0;
  const std::vector<std::pair<size_t, size_t>> items =
      SplitClause(translator, by + 1, end, {"LIMIT", "OFFSET", "FETCH", "FOR", "OPTION"});
  const size_t stop = items.back().second;
  std::vector<std::optional<SortKey>> keys;
  bool any = false;
  for (const auto& [b, e] : items) {
    keys.push_back(ReadSortKey(translator, b, e, list, columns));
    any |= keys.back().has_value();
  }
  if (!any)
    return 0;
  for (size_t k = i; k <= by; ++k)
    out.append(tokens[k].text);
  for (size_t n = 0; n < items.size(); ++n) {
    const auto [b, e] = items[n];
    if (n > 0)
      out += ',';
    if (!keys[n]) {
      translator.EmitRange(b, e, out);
      continue;
    }
    const size_t first = translator.NextSignificant(b, e);
    for (size_t k = b; k < first; ++k)
      out.append(tokens[k].text);
    EmitKey(translator, keys[n]->column, out);
    translator.EmitRange(keys[n]->operand_end, e, out);
  }
  return stop - i;
}

// SELECT DISTINCT of one kx4_ci column keeps one row per key, as the
// embedded engine's collation does.
size_t EmitDistinct(Translator& translator, size_t i, size_t end, const CaseColumns& columns,
                    std::string& out) {
  const std::vector<Token>& tokens = translator.Tokens();
  const size_t select = dialect::PreviousSignificant(tokens, i);
  if (select == SIZE_MAX || !WordIs(tokens[select], "SELECT"))
    return 0;
  const SelectList list = ReadSelectList(translator, select, end, columns);
  if (list.items.size() != 1 || !list.items[0].folded)
    return 0;
  out += tokens[i].text;
  out += " ON (";
  EmitKey(translator, *list.items[0].column, out);
  out += ')';
  return 1;
}

}  // namespace

std::string CaseFunctionsScript() {
  // IMMUTABLE and a single expression: the planner inlines the body, so
  // indexes on these functions serve the statements that call them.
  std::string script;
  for (const CaseFunction& f : CaseFunctions())
    script += "CREATE FUNCTION " + std::string(f.name) +
              "(text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $kx4$" + f.body +
              "$kx4$;\n";
  return script;
}

bool CaseColumns::Contains(std::string_view name) const {
  return !names_.empty() && names_.contains(AsciiLower(name));
}

CaseColumns ReadCaseRules(PGconn* conn) {
  const std::string database = PQdb(conn);
  std::vector<const char*> bodies;
  std::vector<int> lengths;
  std::vector<unsigned> types;
  std::vector<int> binary;
  for (const CaseFunction& f : CaseFunctions()) {
    bodies.push_back(f.body.data());
    lengths.push_back(static_cast<int>(f.body.size()));
    types.push_back(kOidBytea);
    binary.push_back(1);
  }
  ResultPtr result(PQexecParams(conn, CatalogueQuery().c_str(), static_cast<int>(bodies.size()),
                                types.data(), bodies.data(), lengths.data(), binary.data(), 0));
  if (!result || PQstatus(conn) == CONNECTION_BAD)
    throw ConnectionError(conn, false);
  if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
    throw ResultError(result.get());
  const PGresult* rows = result.get();
  std::unordered_set<std::string> names;
  size_t functions = 0;
  bool foreign_functions = false;
  std::string encoding;
  std::string plain_key;
  for (int row = 0; row < PQntuples(rows); ++row) {
    const char kind = *PQgetvalue(rows, row, 0);
    const std::string_view name = PQgetvalue(rows, row, 1);
    const bool flag = std::string_view(PQgetvalue(rows, row, 2)) == "t";
    if (kind == 'e') {
      encoding = name;
    } else if (kind == 'f') {
      ++functions;
      foreign_functions |= !flag;
    } else if (kind == 'c') {
      names.emplace(name);
    } else if (kind == 'k' && plain_key.empty()) {
      for (const TableColumn& key : kCaseInsensitiveKeys) {
        if (EqualsAsciiNoCase(AsciiLower(key.table) + "." + AsciiLower(key.column), name))
          plain_key = std::string(key.table) + "." + std::string(key.column);
      }
    }
  }
  std::string reason;
  if (encoding != "UTF8")
    reason = "it is encoded in " + encoding + ", not in UTF8";
  else if (functions < CaseFunctions().size())
    reason =
        "it lacks the functions kx4_upper, kx4_lower and kx4_key that fold text by the "
        "library's case table";
  else if (foreign_functions)
    reason =
        "its functions kx4_upper, kx4_lower and kx4_key are not the ones this library "
        "creates";
  else if (!plain_key.empty())
    reason = "its column " + plain_key + " is not of the type kx4_ci";
  if (!reason.empty())
    throw UnsuitableDatabase(kErrorSource, database, reason);
  return CaseColumns(std::move(names));
}

std::vector<ResultFold> FoldOnClient(std::string& sql) {
  std::vector<Token> tokens;
  dialect::Tokenize(sql, tokens);
  size_t k = 0;
  while (k < tokens.size() && !Significant(tokens[k]))
    ++k;
  if (k >= tokens.size() || !WordIs(tokens[k], "SELECT"))
    return {};
  // The select list's items, and the names and positions ORDER BY uses.
  std::vector<std::pair<size_t, size_t>> items;
  std::vector<std::string_view> order_names;
  enum class Clause { kList, kOther, kOrder } clause = Clause::kList;
  size_t item = k + 1;
  int depth = 0;
  for (size_t j = k + 1; j < tokens.size(); ++j) {
    const Token& t = tokens[j];
    if (!Significant(t))
      continue;
    if (t.kind == TokenKind::kOpen || t.kind == TokenKind::kClose) {
      depth += t.kind == TokenKind::kOpen ? 1 : -1;
      continue;
    }
    if (depth != 0)
      continue;
    if (t.kind == TokenKind::kSemicolon || WordIs(t, "DISTINCT") || WordIs(t, "GROUP") ||
        WordIs(t, "HAVING") || WordIs(t, "UNION") || WordIs(t, "INTERSECT") ||
        WordIs(t, "EXCEPT") || WordIs(t, "INTO") || WordIs(t, "WINDOW") || t.text == "*")
      return {};
    if (clause == Clause::kList && (t.kind == TokenKind::kComma || WordIs(t, "FROM"))) {
      items.emplace_back(item, j);
      item = j + 1;
      if (WordIs(t, "FROM"))
        clause = Clause::kOther;
    } else if (WordIs(t, "ORDER")) {
      clause = Clause::kOrder;
    } else if (clause == Clause::kOrder &&
               (t.kind == TokenKind::kWord || t.kind == TokenKind::kQuotedName ||
                t.kind == TokenKind::kNumber)) {
      order_names.push_back(dialect::NameText(t));
    }
  }
  if (clause == Clause::kList)
    items.emplace_back(item, tokens.size());

  std::vector<ResultFold> folds(items.size(), ResultFold::kNone);
  std::string rewritten;
  size_t copied = 0;
  for (size_t n = 0; n < items.size(); ++n) {
    // kx4_upper ( name[.name] ) [AS] alias
    std::vector<size_t> at;
    for (size_t j = items[n].first; j < items[n].second; ++j) {
      if (Significant(tokens[j]))
        at.push_back(j);
    }
    if (at.size() < 5 ||
        !(WordIs(tokens[at[0]], "KX4_UPPER") || WordIs(tokens[at[0]], "KX4_LOWER")) ||
        tokens[at[1]].kind != TokenKind::kOpen)
      continue;
    size_t m = 2;
    const auto is_name = [&] {
      return m < at.size() && (tokens[at[m]].kind == TokenKind::kWord ||
                               tokens[at[m]].kind == TokenKind::kQuotedName);
    };
    while (is_name() && m + 1 < at.size() && tokens[at[m + 1]].kind == TokenKind::kDot)
      m += 2;
    if (!is_name() || m + 1 >= at.size() || tokens[at[m + 1]].kind != TokenKind::kClose)
      continue;
    const size_t close = m + 1;
    m = close + 1;
    if (m < at.size() && WordIs(tokens[at[m]], "AS"))
      ++m;
    if (m + 1 != at.size() || !is_name())
      continue;
    const std::string_view alias = dialect::NameText(tokens[at[m]]);
    const std::string position = std::to_string(n + 1);
    if (std::any_of(order_names.begin(), order_names.end(), [&](std::string_view name) {
          return EqualsAsciiNoCase(name, alias) || name == position;
        }))
      continue;
    folds[n] = WordIs(tokens[at[0]], "KX4_UPPER") ? ResultFold::kUpper : ResultFold::kLower;
    for (size_t j = copied; j < at[0]; ++j)
      rewritten.append(tokens[j].text);
    for (size_t j = at[2]; j < at[close]; ++j)
      rewritten.append(tokens[j].text);
    copied = at[close] + 1;
  }
  if (copied == 0)
    return {};
  for (size_t j = copied; j < tokens.size(); ++j)
    rewritten.append(tokens[j].text);
  sql = std::move(rewritten);
  return folds;
}

size_t RewriteForCaseRules(Translator& translator, size_t i, size_t end, const CaseColumns& columns,
                           std::string& out) {
  const Token& token = translator.Tokens()[i];
  if (!Significant(token))
    return 0;
  if (WordIs(token, "ORDER"))
    return EmitOrderBy(translator, i, end, columns, out);
  if (WordIs(token, "DISTINCT"))
    return EmitDistinct(translator, i, end, columns, out);
  if (const auto operand = dialect::MayBeginTest(translator, i, end)
                               ? dialect::ReadOperand(translator, i, end)
                               : std::nullopt) {
    if (const auto comparison = dialect::ReadComparison(translator, *operand, end);
        comparison && ComparesByKey(translator, *comparison, columns))
      return EmitKeyComparison(translator, *comparison, out);
    if (const auto like = dialect::ReadLike(translator, *operand, end))
      return EmitFoldedLike(translator, *like, end, out);
  }
  if (WordIs(token, "UPPER") || WordIs(token, "LOWER")) {
    const size_t open = translator.NextSignificant(i + 1, end);
    const size_t before = dialect::PreviousSignificant(translator.Tokens(), i);
    if (open < end && translator.Tokens()[open].kind == TokenKind::kOpen &&
        (before == SIZE_MAX || translator.Tokens()[before].kind != TokenKind::kDot)) {
      out += WordIs(token, "UPPER") ? "kx4_upper" : "kx4_lower";
      return 1;
    }
  }
  return 0;
}

}  // namespace kx4::ado::pg
