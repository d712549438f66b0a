// A batch in SQL Server's dialect as the statements PostgreSQL runs: the
// shared translator with PostgreSQL's spellings.
#ifndef KX4DATA_DATAACCESS_POSTGRES_PGDIALECT_H_
#define KX4DATA_DATAACCESS_POSTGRES_PGDIALECT_H_

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dataaccess/dialect/Dialect.h"

namespace kx4::ado::pg {

struct PgStatement {
  std::string text;  // PostgreSQL text; "?" markers are $1..$n by batch position
  // Markers $first+1 .. $first+count stand in this statement; the ones
  // before are bound as unused nulls so the numbering stays the batch's.
  int first_param = 0;
  int param_count = 0;
  bool schema = false;  // may change the schema (not a query or data change)
  // Per result column, the folding the client does (empty: none).
  std::vector<dialect::ResultFold> folds;
};

struct PgBatch {
  std::vector<PgStatement> statements;
  // Result column names come back from PostgreSQL in lower case; this maps
  // them to the spelling the batch used ("newid" -> "NewId").
  std::unordered_map<std::string, std::string> spellings;
  // Some statement is not SELECT, INSERT, UPDATE or DELETE, and may leave
  // state in the session (a setting, a temporary table).
  bool leaves_state = false;
};

class PgTranslator {
 public:
  PgTranslator();
  ~PgTranslator();

  // Splits and rewrites `batch`; SET NOCOUNT vanishes.  On a read-only
  // session a statement that could lift the read-only state (SET or RESET of
  // it, transaction control, DO, set_config) is refused.  `params` are the
  // kinds of the values bound to the markers; a marker whose value is null
  // becomes the literal NULL, which takes the type of its place, and its $n
  // is left unused.  Throws EngineError.  The result stays valid until the
  // next call.
  const PgBatch& Translate(std::string_view batch, bool read_only,
                           std::span<const dialect::ValueKind> params = {});
  // The stored columns' kinds, for typing; without them statements are
  // typed as if no table had money or names.
  void SetCatalogue(const dialect::Catalogue* catalogue);

 private:
  class Hooks;
  std::unique_ptr<Hooks> hooks_;
  dialect::Translator translator_;
  PgBatch batch_;
};

// For tests: a LIKE pattern literal's content (without quotes), whose
// statement names `escape` as its escape character ('\0': none), rewritten
// for PostgreSQL's escape character, and whether it needs SIMILAR TO.
std::string LikePattern(std::string_view content, bool& similar, char escape = '\0');
// For tests: the smalldatetime a date text names, as a PostgreSQL literal, or
// empty when the text is no date.
std::string SmallDateTimeLiteral(std::string_view content);

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_PGDIALECT_H_
