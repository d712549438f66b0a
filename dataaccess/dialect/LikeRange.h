// Prefix LIKE tests that an index on a name can serve.  The engines' LIKE
// ignores case and runs through the library's functions, which no planner
// looks into; a test whose pattern begins with characters to match is
// rewritten as "key range AND the LIKE itself", the range written in terms
// the engine's index on the column understands.
#ifndef KX4DATA_DATAACCESS_DIALECT_LIKERANGE_H_
#define KX4DATA_DATAACCESS_DIALECT_LIKERANGE_H_

#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/dialect/Analyzer.h"

namespace kx4::ado::dialect {

// `column LIKE 'p...'`, or UPPER(column) or LOWER(column) in its place,
// without NOT or ESCAPE.  Every value that matches has its key (upper-cased
// by the library's table, trailing blanks ignored) in [low, high).
struct LikeRange {
  const Node* like;
  const Node* column;
  std::string low;  // SQL text literals: quoted, quotes doubled
  std::string high;
};

std::vector<LikeRange> LikeRanges(const Analyzer& analysis);

// The key range of the pattern `content` (a literal's content, quotes
// doubled), the subject lower-cased first when `lowered`; false when the
// pattern has no leading characters a range can use.
bool PrefixKeyRange(std::string_view content, bool lowered, std::string& low, std::string& high);

}  // namespace kx4::ado::dialect

#endif  // KX4DATA_DATAACCESS_DIALECT_LIKERANGE_H_
