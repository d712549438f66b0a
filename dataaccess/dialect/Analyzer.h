// The typed view of a statement: its expressions parsed with precedence into
// a tree, each node typed from the catalogue, the literals and the bound
// parameters, and each told how the expression around it takes it (money
// compared with a number, money handed to a function that knows no money,
// a name compared by the case rules).  Engines render the tree through edits
// of the statement's tokens.
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
//
// Names (columns that follow the case rules, kTextCi) compare as the embedded
// engine's collation compares them, by their key: upper-cased by the
// library's table, trailing blanks ignored.
//  * A comparison (=, <>, <, BETWEEN, CASE x WHEN, an IN list) is by key when
//    its first operand that is a column is a name; IN (SELECT ...) looks at
//    the subquery's column when the left operand is no column.  UPPER(x)
//    compared with a literal or a parameter is by key too.
//  * LIKE ignores case whatever its operands.
//  * ORDER BY, GROUP BY, SELECT DISTINCT and COUNT(DISTINCT ...) of a name
//    go by its key; a grouped name shows any value of its group.
//  * A name inside any other expression (UPPER(Name), Name + 'x') is text.
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

// How the case rules take a node.
enum class Fold : uint8_t {
  kNone,
  kKey,    // compared, sorted, grouped or told apart by its key
  kKeys,   // a subquery whose rows an IN compares by their keys
  kUpper,  // an operand of LIKE: upper-cased
  kAny,    // a grouped name outside an aggregate: any value of its group
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
  Fold fold = Fold::kNone;
  bool concat = false;    // kArithmetic: "+" joining texts
  bool distinct = false;  // kAggregate: of distinct values
  // kCompare, kCondition, kCase: by key, though no column's rules say so
  // (UPPER(x) with a literal or a parameter); the first operand carries it.
  bool collate = false;
  bool operand = false;       // kCase: the first child is the operand
  bool has_else = false;      // kCase
  bool cast_operand = false;  // the value of a CAST
  int8_t scale = 4;           // kCast to money: the decimal places kept
  uint32_t first = 0;         // token indices of the batch, both inclusive
  uint32_t last = 0;
  uint32_t op = 0;        // operator, function name or CAST
  uint32_t children = 0;  // first index into the child list
  uint32_t child_count = 0;
  // A select-list column this node stands for (a name or a position in
  // ORDER BY), as an index into Outputs(); -1 when none.
  int32_t output = -1;
  int32_t source = -1;  // kColumn: the table reference it names, while typing
};

// One column of a SELECT's result.
struct Output {
  ValueKind kind;
  bool star;  // * or T.*: the columns of a table
  int32_t node;
  std::string_view name;
  bool named = false;  // by an alias
  // The statement's result shows a column folded by UPPER or LOWER, and
  // nothing else depends on the folded text: an engine may fold it as the
  // rows arrive.
  ResultFold shown = ResultFold::kNone;
};

// A SELECT DISTINCT: its DISTINCT token and its columns, [first, first + count)
// of Outputs().
struct DistinctList {
  uint32_t token;
  uint32_t first;
  uint32_t count;
};

class Analyzer {
 public:
  // Whether statement tokens [begin, end) need typing: they name a money
  // column, a money type, MIN or MAX, a name column, UPPER, LOWER or LIKE,
  // bind money, or join texts with "+".
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
  // Every select list of the statement, subqueries' included.
  const std::vector<Output>& Outputs() const { return outputs_; }
  const std::vector<DistinctList>& Distincts() const { return distincts_; }
  // The column node `node` is, as it stands, in parentheses or (with
  // `casts`) in a CAST; -1 when it is none.
  int32_t ColumnOf(int32_t node, bool casts = true) const;
  // Whether `node` is a call of this built-in function (no qualifier).
  bool IsCallOf(const Node& node, std::string_view upper_name) const;
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
    size_t nodes, children, outputs, sources, scratch, distincts;
  };
  // How an operand list compares (the first operand is the left one).
  enum class Comparing : uint8_t { kOperands, kInList, kInQuery };

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
  // `compound`: one branch of a set operation.
  Range Select(size_t b, size_t e, const Scope* outer, bool compound);
  void From(size_t b, size_t e, Scope& scope);
  // GROUP BY items; returns the names grouped by key, as column nodes.
  std::vector<int32_t> GroupBy(size_t b, size_t e, const Scope& scope);
  void OrderBy(size_t b, size_t e, const Scope& scope, bool compound);
  // Marks the columns among nodes [first, last) that stand for a grouped
  // name outside any aggregate.
  void MarkGroupedNames(const std::vector<int32_t>& grouped, size_t first, size_t last);
  // Marks the result columns a client may fold (see Output::shown).
  void MarkShownFolds(Range outputs, size_t order_first, size_t order_last);

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

  // The kind of a column; `source` is set to the table reference it names,
  // `output` to the select-list column an ORDER BY name stands for.
  ValueKind Resolve(const Scope* scope, std::string_view qualifier, std::string_view name,
                    int32_t& source, int32_t& output) const;
  // The index into outputs_ of the column of this name, or -1.
  int32_t OutputNamed(Range outputs, std::string_view name) const;

  void CompareGroup(size_t scratch_mark);
  // The case rules of the operands from `scratch_mark`: marks them to be
  // compared by key where the rules say so; returns whether the comparison
  // needs them stated (Node::collate).
  bool CaseGroup(size_t scratch_mark, Comparing comparing);
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
  std::vector<DistinctList> distincts_;
  Range results_;
  bool top_select_ = false;  // the statement's own SELECT is still to come
  size_t pos_ = 0;
  int depth_ = 0;
  bool abandoned_ = false;
};

}  // namespace kx4::ado::dialect

#endif  // KX4DATA_DATAACCESS_DIALECT_ANALYZER_H_
