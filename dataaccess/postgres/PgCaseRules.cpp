#include "dataaccess/postgres/PgCaseRules.h"

#include <string_view>
#include <vector>

#include "dataaccess/CaseRules.h"
#include "dataaccess/postgres/PgErrors.h"
#include "dataaccess/postgres/PgValues.h"
#include "variant/Utf8.h"

namespace kx4::ado::pg {
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
// function there is, flagged when its body is the library's ($1..$3); 'k'
// each key column that is not kx4_ci.  The bodies
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
           "UNION ALL SELECT 'k', k.tbl || '.' || k.col, true FROM (VALUES " +
           keys +
           ") k(tbl, col) JOIN pg_catalog.pg_attribute a "
           "ON a.attrelid = pg_catalog.to_regclass(k.tbl) AND a.attname = k.col "
           "WHERE a.atttypid IS DISTINCT FROM (SELECT pg_catalog.to_regtype('kx4_ci'))";
  }();
  return query;
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

void CheckCaseRules(PGconn* conn) {
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
}

}  // namespace kx4::ado::pg
