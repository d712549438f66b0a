// The typed view of a statement: its expressions parsed with precedence into
// a tree, each node typed from the catalogue, the literals and the bound
// parameters, and each told how the expression around it takes it (money
// compared with a number, money handed to a function that knows no money).
// Engines render the tree through edits of the statement's tokens.
//
// Money follows one set of rules on every engine:
//  * money with money, an integer or an exact decimal, under + - * / %, is
//    money; so are SUM, AVG, MIN and MAX of money, ROUND, CEILING, FLOOR and
//    ABS of it, and ISNULL, COALESCE, NULLIF and CASE whose results are money;
//  * every money result has four decimal places, rounded half away from zero
//    (PostgreSQL's rounding to numeric(19,4)), and leaving the range of
//    -922337203685477.5808 to 922337203685477.5807 is an overflow error;
//  * money with an approximate number is an approximate number;
//  * comparisons of money with numbers and text are exact;
//  * where an expression takes a value of no known kind, money enters as an
//    approximate number, never in an engine's internal scale.
// Statements the analyzer does not understand pass through; the parts it
// does understand are still typed.
#ifndef KX4DATA_DATAACCESS_DIALECT_ANALYZER_H_
#define KX4DATA_DATAACCESS_DIALECT_ANALYZER_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/dialect/Catalogue.h"
#include "dataaccess/dialect/Dialect.h"

namespace kx4::ado::dialect {

enum class NodeKind : uint8_t {
  kColumn,      // [qualifier.]name
  kLiteral,     // number, text or NULL
  kParameter,   // ?
  kUnary,       // op: - + ~
  kArithmetic,  // op: + - * / % & | ^ ||; children: left, right
  kCompare,     // op: = <> < > ...; children: left, right
  kCondition,   // AND, OR, NOT, LIKE, IS NULL, EXISTS, BETWEEN, IN
  kCase,        // children: [operand,] when, then, ... [, else]
  kCall,        // op: the function's name; children: arguments
  kAggregate,   // op: SUM, AVG, MIN, MAX, COUNT; children: the argument
  kCast,        // op: CAST; children: the value
  kSubquery,    // a query in parentheses, typed by its first column
  kParens,      // ( expression )
  kOpaque,      // text the analyzer does not understand, around what it does
};

// How the expression around a node takes it.
enum class Use : uint8_t {
  kAsIs,
  kMoney,         // converted to money, rounded
  kCompareMoney,  // a number compared with money: exactly
  kFloat,         // money as an approximate number
  kText,          // money as text, four decimals
  kInteger,       // money as an integer, rounded half away from zero
};

struct Node {
  NodeKind kind;
  ValueKind type = ValueKind::kUnknown;
  Use use = Use::kAsIs;
  bool concat = false;        // kArithmetic: "+" joining texts
  bool operand = false;       // kCase: the first child is the operand
  bool has_else = false;      // kCase
  bool cast_operand = false;  // the value of a CAST
  int8_t scale = 4;           // kCast to money: the decimal places kept
  uint32_t first = 0;         // token indices of the batch, both inclusive
  uint32_t last = 0;
  uint32_t op = 0;        // operator, function name or CAST
  uint32_t children = 0;  // first index into the child list
  uint32_t child_count = 0;
};

// One column of a SELECT's result.
struct Output {
  ValueKind kind;
  bool star;  // * or T.*: the columns of a table
  int32_t node;
  std::string_view name;
};

class Analyzer {
 public:
  // Whether statement tokens [begin, end) need typing: they name a money
  // column, a money type, MIN or MAX, bind money, or join texts with "+".
  static bool NeedsTyping(const std::vector<Token>& tokens, size_t begin, size_t end,
                          const Catalogue& catalogue, std::span<const ValueKind> params,
                          int first_param);

  // Parses and types statement tokens [begin, end) of `kind`.
  // `params[first_param]` is the kind of the statement's first marker.
  void Run(const std::vector<Token>& tokens, size_t begin, size_t end, StatementKind kind,
           const Catalogue& catalogue, std::span<const ValueKind> params, int first_param);

  const std::vector<Token>& Tokens() const { return *tokens_; }
  // In creation order: children before their parents.
  const std::vector<Node>& Nodes() const { return nodes_; }
  const Node& Child(const Node& node, size_t i) const {
    return nodes_[children_[node.children + i]];
  }
  // The result columns of a SELECT, empty for other statements.
  std::span<const Output> Results() const {
    return std::span<const Output>(outputs_).subspan(results_.first, results_.count);
  }
  bool IsResult(int32_t node) const;
  // Whether the statement nests deeper than typing follows; it was not
  // typed then.
  bool Abandoned() const { return abandoned_; }
  // The significant token before token `i`, or `i` itself when none.
  size_t PreviousSignificant(size_t i) const;

 private:
  struct Range {
    uint32_t first = 0;
    uint32_t count = 0;
  };
  struct Source {
    std::string_view alias;
    std::string_view table;  // empty for a derived table
    Range outputs;
  };
  struct Scope {
    const Scope* parent;
    size_t sources_begin;
    size_t sources_end;
    Range outputs;  // the select list, for ORDER BY
    bool aliases;
  };
  struct Mark {
    size_t nodes, children, outputs, sources, scratch;
  };

  const Token& Tok(size_t p) const { return (*tokens_)[sig_[p]]; }
  bool IsWord(size_t p, size_t e, std::string_view upper) const;
  bool IsKind(size_t p, size_t e, TokenKind kind) const;
  bool IsOp(size_t p, size_t e, std::string_view text) const;
  size_t Close(size_t open, size_t e) const;
  bool IsNameToken(size_t p, size_t e) const;

  Mark Save() const;
  void Restore(const Mark& m);
  int32_t Add(NodeKind kind, size_t first, size_t last, size_t op);
  // A node of one child; token indices of the batch.
  int32_t Around(NodeKind kind, size_t first, size_t last, size_t op, int32_t child);
  // A node over `left` op `right` (`op` a significant-token position).
  int32_t Binary(NodeKind kind, int32_t left, int32_t right, size_t op);
  // The depth-0 comma ending the list item that starts at `p`, or `e`.
  size_t ItemEnd(size_t p, size_t e) const;
  void SetChildren(int32_t node, size_t scratch_mark);

  void Statement(size_t b, size_t e, StatementKind kind);
  void Insert(size_t b, size_t e);
  void Update(size_t b, size_t e);
  void Delete(size_t b, size_t e);

  Range Query(size_t b, size_t e, const Scope* outer);
  Range Branches(size_t b, size_t e, const Scope* outer);  // of UNION and the like
  // Runs `parse` one level deeper; past the deepest level typing gives up.
  template <typename Parse>
  int32_t Deeper(Parse parse);
  Range Select(size_t b, size_t e, const Scope* outer);
  void SelectList(size_t b, size_t e, const Scope& scope);
  void From(size_t b, size_t e, Scope& scope);
  void OrderBy(size_t b, size_t e, const Scope& scope);

  // Expressions over [pos_, e); -1 when none parses there (pos_ then
  // undefined: callers restore).
  int32_t Expr(size_t e, const Scope* scope);
  int32_t Junction(size_t e, const Scope* scope, bool conjunction);
  int32_t Not(size_t e, const Scope* scope);
  int32_t Predicate(size_t e, const Scope* scope);
  int32_t Terms(size_t e, const Scope* scope, bool product);
  int32_t Unary(size_t e, const Scope* scope);
  int32_t Primary(size_t e, const Scope* scope);
  int32_t Case(size_t e, const Scope* scope);
  int32_t Cast(size_t e, const Scope* scope);
  int32_t Call(size_t e, const Scope* scope);
  // An expression from `b` that `rest` accepts what follows of (given the
  // position after it), or -1 with nothing kept.
  template <typename Rest>
  int32_t ExprThen(size_t b, size_t e, const Scope* scope, Rest rest);
  // Everything in [b, e), tolerantly: one node, or an opaque node around
  // the parts that parse.
  int32_t Sequence(size_t b, size_t e, const Scope* scope);
  int32_t SequenceOf(size_t b, size_t e, const Scope* scope);

  ValueKind Resolve(const Scope* scope, std::string_view qualifier, std::string_view name) const;
  ValueKind OutputKind(Range outputs, std::string_view name, bool& found) const;

  void CompareGroup(size_t scratch_mark);
  void Arithmetic(int32_t node, std::string_view op);
  void Convert(int32_t node, ValueKind target);
  ValueKind CommonOf(size_t scratch_mark, size_t from, size_t step) const;

  const std::vector<Token>* tokens_ = nullptr;
  const Catalogue* catalogue_ = nullptr;
  std::span<const ValueKind> params_;
  int first_param_ = 0;
  std::vector<uint32_t> sig_;      // significant tokens of the statement
  std::vector<bool> names_;        // which of them can name a column or table
  std::vector<uint32_t> markers_;  // "?" tokens, in order
  std::vector<Node> nodes_;
  std::vector<uint32_t> children_;
  std::vector<uint32_t> scratch_;
  std::vector<Output> outputs_;
  std::vector<Source> sources_;
  Range results_;
  size_t pos_ = 0;
  int depth_ = 0;
  bool abandoned_ = false;
};

}  // namespace kx4::ado::dialect

#endif  // KX4DATA_DATAACCESS_DIALECT_ANALYZER_H_
