// Comparisons read from the tokens of a statement without an expression
// parser: simple operands (names, literals, markers, calls, parenthesised
// expressions) and whether their neighbours leave them standing alone.  The
// engines use them to compare names by the library's case rules; anything
// these readers do not recognise is left to the generic translation.
#ifndef KX4DATA_DATAACCESS_DIALECT_OPERAND_H_
#define KX4DATA_DATAACCESS_DIALECT_OPERAND_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "dataaccess/dialect/Dialect.h"

namespace kx4::ado::dialect {

// Index of the last significant token before `i`, or SIZE_MAX.
size_t PreviousSignificant(const std::vector<Token>& tokens, size_t i);

// Walks back from `i` over the significant tokens of its own parenthesis
// level; returns the first for which `stop` holds, or SIZE_MAX when the level
// (or the batch) begins first.
template <typename Stop>
size_t FindBackAtLevel(const std::vector<Token>& tokens, size_t i, Stop stop) {
  int depth = 0;
  for (size_t k = i; k-- > 0;) {
    const Token& t = tokens[k];
    if (!Significant(t))
      continue;
    if (t.kind == TokenKind::kClose) {
      ++depth;
    } else if (t.kind == TokenKind::kOpen) {
      if (depth-- == 0)
        return SIZE_MAX;
    } else if (depth == 0 && stop(t)) {
      return k;
    }
  }
  return SIZE_MAX;
}

struct Operand {
  enum class Kind : uint8_t {
    kColumn,  // name or alias.name
    kString,  // 'text' or N'text'
    kMarker,  // ?
    kCall,    // name(...)
    kGroup,   // (...)
  };
  Kind kind;
  size_t begin;  // its first token
  size_t end;    // one past its last token
  size_t name;   // kColumn: its last name part; kCall: the function's name
  size_t open;   // kCall, kGroup: the "("; the ")" is end - 1

  // The column's own name, or the called function's.
  std::string_view Name(const Translator& translator) const;
  bool IsCallOf(const Translator& translator, std::string_view upper_name) const;
};

// The operand that starts with the significant token `i` and ends before
// `end`; nullopt when none starts there.
std::optional<Operand> ReadOperand(const Translator& translator, size_t i, size_t end);

// Whether an operand starting at `begin` is not bound into a larger
// expression by what precedes it, and does not stand in a SET list.
bool FreeBefore(const Translator& translator, size_t begin);
// Whether what follows the operand ending at `end` (before `limit`) ends the
// comparison it stands in.
bool FreeAfter(const Translator& translator, size_t end, size_t limit);

// A cheap look ahead: whether a comparison or a LIKE test could have its
// left operand at `i` (a name, literal, marker or call followed by an
// operator, LIKE or NOT).  False for most tokens of a statement.
bool MayBeginTest(const Translator& translator, size_t i, size_t end);

// left <op> right, op one of = <> != < > <= >= !< !>.
struct Comparison {
  Operand left;
  size_t op;
  Operand right;
};
// The comparison whose left operand is `left`, both operands standing alone;
// nullopt otherwise.
std::optional<Comparison> ReadComparison(const Translator& translator, const Operand& left,
                                         size_t end);

// subject [NOT] LIKE 'pattern', without an ESCAPE clause.
struct LikeTest {
  Operand subject;
  size_t like;     // the LIKE word
  size_t pattern;  // the literal
};
std::optional<LikeTest> ReadLike(const Translator& translator, const Operand& subject, size_t end);

}  // namespace kx4::ado::dialect

#endif  // KX4DATA_DATAACCESS_DIALECT_OPERAND_H_
