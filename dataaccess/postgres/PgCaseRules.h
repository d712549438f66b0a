// The library's case rules on PostgreSQL.  A database made by the library
// folds text with SQL functions that carry the library's own case table
// (variant/Utf8), so that no comparison, unique index or sort order depends
// on the server's locale:
//   kx4_upper(t), kx4_lower(t)  what UpperText and LowerText give;
//   kx4_key(t)                  kx4_upper(t) without its trailing blanks:
//                               what names compare, sort and stay unique by.
// Names, codes, descriptions and ports are columns of the domain kx4_ci
// (text in the C collation).  The statements reach the functions through
// the rewriting below: UPPER and LOWER become kx4_upper and kx4_lower, a
// comparison with a kx4_ci column (or of UPPER(...) with a literal or a
// parameter) compares keys, LIKE compares upper-cased text, and ORDER BY a
// kx4_ci column sorts by its key, as the embedded engine's collation does.
#ifndef KX4DATA_DATAACCESS_POSTGRES_PGCASERULES_H_
#define KX4DATA_DATAACCESS_POSTGRES_PGCASERULES_H_

#include <libpq-fe.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "dataaccess/dialect/Dialect.h"

namespace kx4::ado::pg {

// The script that creates kx4_upper, kx4_lower and kx4_key.
std::string CaseFunctionsScript();

// The database's kx4_ci columns, by name.
class CaseColumns {
 public:
  CaseColumns() = default;
  // `names` lower-cased.
  explicit CaseColumns(std::unordered_set<std::string> names) : names_(std::move(names)) {}
  // `name` as a statement writes it, in any case.
  bool Contains(std::string_view name) const;

 private:
  std::unordered_set<std::string> names_;
};

// Reads the case rules of the database `conn` is connected to, outside any
// transaction.  Throws the unsuitable-database EngineError when it lacks them
// (not UTF8, no functions, functions with another table, key columns not
// kx4_ci), or the failure of the reading.
CaseColumns ReadCaseRules(PGconn* conn);

// How the client folds a result column the server sends unfolded.
enum class ResultFold : uint8_t { kNone, kUpper, kLower };

// A translated SELECT whose select list upper- or lower-cases columns under
// an alias ("kx4_upper(P.PrinterName) AS PrinterName") leaves that folding
// to the client, which does it far cheaper than translate() on the server:
// `sql` loses those calls, and the result says which result columns to fold.
// Empty (and `sql` unchanged) when the statement could depend on the folded
// values (DISTINCT, GROUP BY, set operations, ORDER BY the alias or its
// position, "*" in the list).
std::vector<ResultFold> FoldOnClient(std::string& sql);

// The case rules' part in translating token `i` (before `end`): the number
// of tokens written to `out`, or 0 when the rules leave it to the rest of
// the translation.
size_t RewriteForCaseRules(dialect::Translator& translator, size_t i, size_t end,
                           const CaseColumns& columns, std::string& out);

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_PGCASERULES_H_
