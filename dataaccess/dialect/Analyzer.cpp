#include "dataaccess/dialect/Analyzer.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "variant/Utf8.h"

namespace kx4::ado::dialect {
namespace {

// Nesting beyond this is not typed; the statement still passes through.
constexpr int kMaxDepth = 200;

// The word in upper case, or empty when it is no plain ASCII word of at most
// 15 characters (no keyword is).
std::string_view UpperWord(const Token& t, char (&buffer)[16]) {
  if (t.kind != TokenKind::kWord || t.text.size() >= sizeof buffer)
    return {};
  for (size_t i = 0; i < t.text.size(); ++i) {
    char c = t.text[i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    buffer[i] = c;
  }
  return std::string_view(buffer, t.text.size());
}

bool IsAnyWord(const Token& t, std::initializer_list<std::string_view> words) {
  char buffer[16];
  const std::string_view w = UpperWord(t, buffer);
  if (w.empty())
    return false;
  for (std::string_view k : words)
    if (w == k)
      return true;
  return false;
}

// Words that end an expression or a table reference: never a column or an
// alias.
bool IsReserved(const Token& t) {
  static constexpr std::string_view kWords[] = {
      "ALL",    "AND",  "ANY",      "AS",     "ASC",  "BETWEEN", "BY",        "CASE",   "COLLATE",
      "CROSS",  "DESC", "DISTINCT", "ELSE",   "END",  "ESCAPE",  "EXCEPT",    "EXISTS", "FOR",
      "FROM",   "FULL", "GROUP",    "HAVING", "IN",   "INNER",   "INTERSECT", "INTO",   "IS",
      "JOIN",   "LEFT", "LIKE",     "NOT",    "NULL", "ON",      "OPTION",    "OR",     "ORDER",
      "OUTER",  "OVER", "RIGHT",    "SELECT", "SET",  "SOME",    "THEN",      "TOP",    "UNION",
      "VALUES", "WHEN", "WHERE",    "WITH"};
  if (t.kind != TokenKind::kWord || t.text.size() < 2 || t.text.size() > 9)
    return false;
  char buffer[16];
  return std::binary_search(std::begin(kWords), std::end(kWords), UpperWord(t, buffer));
}

bool IsComparison(const Token& t) {
  if (t.kind != TokenKind::kOperator)
    return false;
  const std::string_view s = t.text;
  return s == "=" || s == "<>" || s == "!=" || s == "<" || s == ">" || s == "<=" || s == ">=" ||
         s == "!<" || s == "!>";
}

ValueKind NumberKind(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos)
    return ValueKind::kFloat;
  return text.find('.') != std::string_view::npos ? ValueKind::kDecimal : ValueKind::kInteger;
}

int Rank(ValueKind k) {
  switch (k) {
    case ValueKind::kInteger:
      return 1;
    case ValueKind::kDecimal:
      return 2;
    case ValueKind::kMoney:
      return 3;
    case ValueKind::kFloat:
      return 4;
    default:
      return 0;
  }
}

bool IsText(ValueKind k) {
  return k == ValueKind::kText || k == ValueKind::kTextCi;
}

// A name's text once it is part of a larger expression: plain text.
ValueKind Plain(ValueKind k) {
  return k == ValueKind::kTextCi ? ValueKind::kText : k;
}

// Whether the case rules can compare a value of this kind.
bool Foldable(ValueKind k) {
  return IsText(k) || k == ValueKind::kUnknown || k == ValueKind::kNull;
}

// The kind two values of a CASE, COALESCE or UNION meet in.
ValueKind Common(ValueKind a, ValueKind b) {
  if (a == b)
    return a;
  if (a == ValueKind::kNull)
    return b;
  if (b == ValueKind::kNull)
    return a;
  const int ra = Rank(a), rb = Rank(b);
  if (ra > 0 && rb > 0)
    return ra > rb ? a : b;
  if (IsText(a) && IsText(b))
    return ValueKind::kText;
  if ((IsText(a) && b == ValueKind::kMoney) || (IsText(b) && a == ValueKind::kMoney))
    return ValueKind::kMoney;
  return ValueKind::kUnknown;
}

bool IsNumeric(ValueKind k) {
  return Rank(k) > 0;
}

int SmallNumber(const Token& t, int fallback) {
  if (t.kind != TokenKind::kNumber || t.text.size() > 4)
    return fallback;
  int v = 0;
  for (char c : t.text) {
    if (c < '0' || c > '9')
      return fallback;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

bool Analyzer::NeedsTyping(const std::vector<Token>& tokens, size_t begin, size_t end,
                           const Catalogue& catalogue, std::span<const ValueKind> params,
                           int first_param) {
  bool plus = false, text = false;
  size_t marker = static_cast<size_t>(first_param);
  for (size_t i = begin; i < end; ++i) {
    const Token& t = tokens[i];
    switch (t.kind) {
      case TokenKind::kWord:
        if (catalogue.IsMoneyName(t.text) || catalogue.IsCaseName(t.text))
          return true;
        // Money types; MIN and MAX keep the type of what they take (a date);
        // the case rules' functions and LIKE.
        if ((t.text.size() == 3 || t.text.size() == 4 || t.text.size() == 5 || t.text.size() == 7 ||
             t.text.size() == 10) &&
            IsAnyWord(t, {"MONEY", "SMALLMONEY", "DECIMAL", "NUMERIC", "MIN", "MAX", "UPPER",
                          "LOWER", "LIKE"}))
          return true;
        break;
      case TokenKind::kQuotedName:
        if (catalogue.IsMoneyName(NameText(t)) || catalogue.IsCaseName(NameText(t)))
          return true;
        break;
      case TokenKind::kMarker:
        if (marker < params.size() && params[marker] == ValueKind::kMoney)
          return true;
        ++marker;
        break;
      case TokenKind::kOperator:
        plus |= t.text == "+";
        break;
      case TokenKind::kString:
      case TokenKind::kNString:
        text = true;
        break;
      default:
        break;
    }
  }
  return plus && text;
}

void Analyzer::Run(const std::vector<Token>& tokens, size_t begin, size_t end, StatementKind kind,
                   const Catalogue& catalogue, std::span<const ValueKind> params, int first_param) {
  tokens_ = &tokens;
  catalogue_ = &catalogue;
  params_ = params;
  first_param_ = first_param;
  sig_.clear();
  names_.clear();
  markers_.clear();
  nodes_.clear();
  children_.clear();
  scratch_.clear();
  outputs_.clear();
  sources_.clear();
  distincts_.clear();
  results_ = {};
  depth_ = 0;
  abandoned_ = false;
  top_select_ = false;
  for (size_t i = begin; i < end; ++i) {
    if (!Significant(tokens[i]))
      continue;
    sig_.push_back(static_cast<uint32_t>(i));
    names_.push_back(tokens[i].kind == TokenKind::kQuotedName ||
                     (tokens[i].kind == TokenKind::kWord && !IsReserved(tokens[i])));
    if (tokens[i].kind == TokenKind::kMarker)
      markers_.push_back(static_cast<uint32_t>(i));
  }
  Statement(0, sig_.size(), kind);
  if (abandoned_) {
    nodes_.clear();
    outputs_.clear();
    distincts_.clear();
    results_ = {};
  }
}

bool Analyzer::IsResult(int32_t node) const {
  for (const Output& o : Results())
    if (o.node == node)
      return true;
  return false;
}

size_t Analyzer::PreviousSignificant(size_t i) const {
  size_t k = i;
  while (k > 0) {
    --k;
    if (Significant((*tokens_)[k]))
      return k;
  }
  return i;
}

bool Analyzer::IsWord(size_t p, size_t e, std::string_view upper) const {
  return p < e && WordIs(Tok(p), upper);
}

bool Analyzer::IsKind(size_t p, size_t e, TokenKind kind) const {
  return p < e && Tok(p).kind == kind;
}

bool Analyzer::IsOp(size_t p, size_t e, std::string_view text) const {
  return p < e && Tok(p).kind == TokenKind::kOperator && Tok(p).text == text;
}

bool Analyzer::IsNameToken(size_t p, size_t e) const {
  return p < e && names_[p];
}

size_t Analyzer::Close(size_t open, size_t e) const {
  int depth = 0;
  for (size_t p = open; p < e; ++p) {
    if (Tok(p).kind == TokenKind::kOpen)
      ++depth;
    else if (Tok(p).kind == TokenKind::kClose && --depth == 0)
      return p;
  }
  return e;
}

Analyzer::Mark Analyzer::Save() const {
  return Mark{nodes_.size(),   children_.size(), outputs_.size(),
              sources_.size(), scratch_.size(),  distincts_.size()};
}

void Analyzer::Restore(const Mark& m) {
  nodes_.resize(m.nodes);
  children_.resize(m.children);
  outputs_.resize(m.outputs);
  sources_.resize(m.sources);
  scratch_.resize(m.scratch);
  distincts_.resize(m.distincts);
}

int32_t Analyzer::Binary(NodeKind kind, int32_t left, int32_t right, size_t op) {
  const int32_t n = Add(kind, nodes_[static_cast<size_t>(left)].first,
                        nodes_[static_cast<size_t>(right)].last, sig_[op]);
  const size_t mark = scratch_.size();
  scratch_.push_back(static_cast<uint32_t>(left));
  scratch_.push_back(static_cast<uint32_t>(right));
  SetChildren(n, mark);
  return n;
}

int32_t Analyzer::Around(NodeKind kind, size_t first, size_t last, size_t op, int32_t child) {
  const int32_t n = Add(kind, first, last, op);
  const size_t mark = scratch_.size();
  scratch_.push_back(static_cast<uint32_t>(child));
  SetChildren(n, mark);
  return n;
}

size_t Analyzer::ItemEnd(size_t p, size_t e) const {
  for (int depth = 0; p < e; ++p) {
    const TokenKind kind = Tok(p).kind;
    if (kind == TokenKind::kOpen)
      ++depth;
    else if (kind == TokenKind::kClose)
      --depth;
    else if (kind == TokenKind::kComma && depth == 0)
      break;
  }
  return p;
}

int32_t Analyzer::Add(NodeKind kind, size_t first, size_t last, size_t op) {
  Node n;
  n.kind = kind;
  n.first = static_cast<uint32_t>(first);
  n.last = static_cast<uint32_t>(last);
  n.op = static_cast<uint32_t>(op);
  nodes_.push_back(n);
  return static_cast<int32_t>(nodes_.size() - 1);
}

void Analyzer::SetChildren(int32_t node, size_t mark) {
  Node& n = nodes_[static_cast<size_t>(node)];
  n.children = static_cast<uint32_t>(children_.size());
  n.child_count = static_cast<uint32_t>(scratch_.size() - mark);
  children_.insert(children_.end(), scratch_.begin() + static_cast<ptrdiff_t>(mark),
                   scratch_.end());
  scratch_.resize(mark);
}

void Analyzer::Statement(size_t b, size_t e, StatementKind kind) {
  switch (kind) {
    case StatementKind::kSelect:
      top_select_ = true;
      results_ = Query(b, e, nullptr);
      break;
    case StatementKind::kInsert:
      Insert(b, e);
      break;
    case StatementKind::kUpdate:
      Update(b, e);
      break;
    case StatementKind::kDelete:
      Delete(b, e);
      break;
    default:
      break;
  }
}

// INSERT [INTO] table [(columns)] VALUES (...)[, (...)] | SELECT ...
void Analyzer::Insert(size_t b, size_t e) {
  size_t p = b + 1;
  if (IsWord(p, e, "INTO"))
    ++p;
  if (!IsNameToken(p, e))
    return;
  while (IsKind(p + 1, e, TokenKind::kDot) && IsNameToken(p + 2, e))
    p += 2;
  const std::string_view table = NameText(Tok(p));
  ++p;
  std::vector<ValueKind> columns;
  if (IsKind(p, e, TokenKind::kOpen)) {
    const size_t c = Close(p, e);
    for (size_t q = p + 1; q < c; ++q)
      if (IsNameToken(q, c))
        columns.push_back(catalogue_->Kind(table, NameText(Tok(q))));
    p = c + 1;
  }
  auto target = [&](size_t k) { return k < columns.size() ? columns[k] : ValueKind::kUnknown; };
  if (IsWord(p, e, "VALUES")) {
    ++p;
    while (IsKind(p, e, TokenKind::kOpen)) {
      const size_t c = Close(p, e);
      size_t q = p + 1;
      for (size_t k = 0; q < c; ++k) {
        const size_t ve = ItemEnd(q, c);
        const int32_t n = Sequence(q, ve, nullptr);
        if (n >= 0)
          Convert(n, target(k));
        q = ve + 1;
      }
      p = c + 1;
      if (!IsKind(p, e, TokenKind::kComma))
        break;
      ++p;
    }
    return;
  }
  const Range r = Query(p, e, nullptr);
  for (uint32_t k = 0; k < r.count; ++k)
    if (outputs_[r.first + k].node >= 0)
      Convert(outputs_[r.first + k].node, target(k));
}

// UPDATE table SET column = value[, ...] [FROM ...] [WHERE ...]
void Analyzer::Update(size_t b, size_t e) {
  size_t p = b + 1;
  if (!IsNameToken(p, e))
    return;
  while (IsKind(p + 1, e, TokenKind::kDot) && IsNameToken(p + 2, e))
    p += 2;
  const std::string_view table = NameText(Tok(p));
  ++p;
  if (!IsWord(p, e, "SET"))
    return;
  size_t from = e, where = e;
  for (size_t q = p + 1, depth = 0; q < e; ++q) {
    const Token& t = Tok(q);
    if (t.kind == TokenKind::kOpen)
      ++depth;
    else if (t.kind == TokenKind::kClose)
      --depth;
    else if (depth == 0 && from == e && where == e && WordIs(t, "FROM"))
      from = q;
    else if (depth == 0 && where == e && WordIs(t, "WHERE"))
      where = q;
  }
  Scope scope{nullptr, sources_.size(), sources_.size(), {}, false};
  sources_.push_back(Source{table, table, {}});
  if (from < e)
    From(from + 1, where, scope);
  scope.sources_end = sources_.size();
  const size_t set_end = std::min(from, where);
  size_t q = p + 1;
  while (q < set_end) {
    const size_t ae = ItemEnd(q, set_end);
    size_t col = q;
    std::string_view qualifier;
    while (IsKind(col + 1, ae, TokenKind::kDot) && IsNameToken(col + 2, ae)) {
      qualifier = NameText(Tok(col));
      col += 2;
    }
    if (IsNameToken(col, ae) && IsOp(col + 1, ae, "=")) {
      int32_t source = -1, output = -1;
      const ValueKind kind = Resolve(&scope, qualifier, NameText(Tok(col)), source, output);
      const int32_t n = Sequence(col + 2, ae, &scope);
      if (n >= 0)
        Convert(n, kind);
    } else {
      Sequence(q, ae, &scope);
    }
    q = ae + 1;
  }
  if (where < e)
    Sequence(where + 1, e, &scope);
  sources_.resize(scope.sources_begin);
}

// DELETE [FROM] table [FROM ...] [WHERE ...]
void Analyzer::Delete(size_t b, size_t e) {
  size_t p = b + 1;
  if (IsWord(p, e, "FROM"))
    ++p;
  Scope scope{nullptr, sources_.size(), sources_.size(), {}, false};
  size_t where = e;
  for (size_t q = p, depth = 0; q < e; ++q) {
    const Token& t = Tok(q);
    if (t.kind == TokenKind::kOpen)
      ++depth;
    else if (t.kind == TokenKind::kClose)
      --depth;
    else if (depth == 0 && WordIs(t, "WHERE")) {
      where = q;
      break;
    }
  }
  size_t from = p;
  if (IsNameToken(p, where)) {
    size_t q = p;
    while (IsKind(q + 1, where, TokenKind::kDot) && IsNameToken(q + 2, where))
      q += 2;
    if (IsWord(q + 1, where, "FROM"))
      from = q + 2;  // DELETE alias FROM table alias ...
  }
  From(from, where, scope);
  scope.sources_end = sources_.size();
  if (where < e)
    Sequence(where + 1, e, &scope);
  sources_.resize(scope.sources_begin);
}

Analyzer::Range Analyzer::Query(size_t b, size_t e, const Scope* outer) {
  Range first;
  Deeper([&] {
    first = Branches(b, e, outer);
    return 0;
  });
  return first;
}

Analyzer::Range Analyzer::Branches(size_t b, size_t e, const Scope* outer) {
  // Branches of UNION, EXCEPT and INTERSECT.
  constexpr size_t kMaxBranches = 32;
  size_t cuts[kMaxBranches + 1];
  size_t count = 0;
  cuts[count++] = b;
  for (size_t p = b, depth = 0; p < e && count < kMaxBranches; ++p) {
    const Token& t = Tok(p);
    if (t.kind == TokenKind::kOpen)
      ++depth;
    else if (t.kind == TokenKind::kClose)
      --depth;
    else if (depth == 0 && IsAnyWord(t, {"UNION", "EXCEPT", "INTERSECT"}))
      cuts[count++] = p;
  }
  cuts[count] = e;
  if (count > 1)
    top_select_ = false;  // its columns are the set operation's
  Range ranges[kMaxBranches];
  for (size_t k = 0; k < count; ++k) {
    size_t bb = cuts[k];
    if (k > 0) {
      ++bb;
      if (IsWord(bb, cuts[k + 1], "ALL"))
        ++bb;
    }
    ranges[k] = Select(bb, cuts[k + 1], outer, count > 1);
  }
  // A column of several branches takes the kind they all meet in.
  for (uint32_t c = 0; count > 1 && c < ranges[0].count; ++c) {
    ValueKind kind = outputs_[ranges[0].first + c].kind;
    for (size_t k = 1; k < count; ++k)
      if (c < ranges[k].count)
        kind = Common(kind, outputs_[ranges[k].first + c].kind);
    for (size_t k = 0; k < count; ++k)
      if (c < ranges[k].count && outputs_[ranges[k].first + c].node >= 0)
        Convert(outputs_[ranges[k].first + c].node, kind);
    outputs_[ranges[0].first + c].kind = kind;
  }
  return ranges[0];
}

Analyzer::Range Analyzer::Select(size_t b, size_t e, const Scope* outer, bool compound) {
  size_t p = b;
  if (IsKind(p, e, TokenKind::kOpen) && Close(p, e) == e - 1)
    return Query(b + 1, e - 1, outer);
  const bool top = std::exchange(top_select_, false);
  if (!IsWord(p, e, "SELECT")) {
    Sequence(b, e, outer);
    return {};
  }
  ++p;
  const size_t distinct = IsWord(p, e, "DISTINCT") ? p : e;
  if (IsWord(p, e, "DISTINCT") || IsWord(p, e, "ALL"))
    ++p;
  if (IsWord(p, e, "TOP")) {
    ++p;
    p = IsKind(p, e, TokenKind::kOpen) ? Close(p, e) + 1 : p + 1;
    if (IsWord(p, e, "PERCENT"))
      ++p;
    if (IsWord(p, e, "WITH") && IsWord(p + 1, e, "TIES"))
      p += 2;
  }
  // Where each clause starts; each runs to the next one.
  enum { kFrom, kWhere, kGroup, kHaving, kOrder, kTail, kClauses };
  size_t at[kClauses];
  std::fill(at, at + kClauses, e);
  for (size_t q = p, depth = 0; q < e; ++q) {
    const Token& t = Tok(q);
    if (t.kind == TokenKind::kOpen) {
      ++depth;
      continue;
    }
    if (t.kind == TokenKind::kClose) {
      --depth;
      continue;
    }
    if (depth != 0 || t.kind != TokenKind::kWord)
      continue;
    char buffer[16];
    const std::string_view w = UpperWord(t, buffer);
    int clause = -1;
    if (w == "FROM")
      clause = kFrom;
    else if (w == "WHERE")
      clause = kWhere;
    else if (w == "GROUP")
      clause = kGroup;
    else if (w == "HAVING")
      clause = kHaving;
    else if (w == "ORDER")
      clause = kOrder;
    else if (w == "INTO" || w == "FOR" || w == "OPTION")
      clause = kTail;
    if (clause >= 0 && at[clause] == e)
      at[clause] = q;
  }
  auto next = [&](size_t start) {
    size_t end = e;
    for (size_t s : at)
      if (s > start && s < end)
        end = s;
    return end;
  };
  const size_t list_end = *std::min_element(at, at + kClauses);

  Scope scope{outer, sources_.size(), sources_.size(), {}, false};
  if (at[kFrom] < e)
    From(at[kFrom] + 1, next(at[kFrom]), scope);
  scope.sources_end = sources_.size();

  std::vector<Output> items;
  const size_t list_nodes = nodes_.size();
  {
    // The select list; each item's outputs are kept until the list ends, so
    // that subqueries in it do not interleave theirs.
    size_t q = p;
    while (q < list_end) {
      const size_t ie = ItemEnd(q, list_end);
      Output o{ValueKind::kUnknown, false, -1, {}};
      if ((ie - q == 1 && IsOp(q, ie, "*")) ||
          (ie - q == 3 && IsKind(q + 1, ie, TokenKind::kDot) && IsOp(q + 2, ie, "*"))) {
        o.star = true;
      } else {
        size_t xb = q;
        if (ie - q >= 3 && IsNameToken(q, ie) && IsOp(q + 1, ie, "=")) {
          o.name = NameText(Tok(q));
          o.named = true;
          xb = q + 2;
        }
        int32_t n = ExprThen(xb, ie, &scope, [&](size_t r) {
          const bool as = IsWord(r, ie, "AS");
          if (as)
            ++r;
          // After AS any word names the column ("AS Left").
          if (r + 1 == ie && o.name.empty() &&
              (IsNameToken(r, ie) || Tok(r).kind == TokenKind::kString ||
               (as && Tok(r).kind == TokenKind::kWord))) {
            const Token& alias = Tok(r);
            o.name = alias.kind == TokenKind::kString && alias.text.size() >= 2
                         ? alias.text.substr(1, alias.text.size() - 2)
                         : NameText(alias);
            o.named = true;
            r = ie;
          }
          return r == ie;
        });
        if (n < 0)
          n = Sequence(xb, ie, &scope);
        o.node = n;
        if (n >= 0) {
          o.kind = nodes_[static_cast<size_t>(n)].type;
          if (o.name.empty() && nodes_[static_cast<size_t>(n)].kind == NodeKind::kColumn)
            o.name = NameText((*tokens_)[nodes_[static_cast<size_t>(n)].op]);
        }
      }
      items.push_back(o);
      q = ie + 1;
    }
  }
  const size_t list_end_nodes = nodes_.size();
  const Range range{static_cast<uint32_t>(outputs_.size()), static_cast<uint32_t>(items.size())};
  outputs_.insert(outputs_.end(), items.begin(), items.end());
  scope.outputs = range;
  if (distinct < e)
    distincts_.push_back(DistinctList{sig_[distinct], range.first, range.count});

  if (at[kWhere] < e)
    Sequence(at[kWhere] + 1, next(at[kWhere]), &scope);
  std::vector<int32_t> grouped;
  if (at[kGroup] < e) {
    const size_t g = IsWord(at[kGroup] + 1, e, "BY") ? at[kGroup] + 2 : at[kGroup] + 1;
    grouped = GroupBy(g, next(at[kGroup]), scope);
  }
  const size_t having_nodes = nodes_.size();
  if (at[kHaving] < e)
    Sequence(at[kHaving] + 1, next(at[kHaving]), &scope);
  const size_t order_nodes = nodes_.size();
  if (at[kOrder] < e) {
    const size_t o = IsWord(at[kOrder] + 1, e, "BY") ? at[kOrder] + 2 : at[kOrder] + 1;
    scope.aliases = true;
    OrderBy(o, next(at[kOrder]), scope, compound);
  }
  if (!grouped.empty()) {
    MarkGroupedNames(grouped, list_nodes, list_end_nodes);
    MarkGroupedNames(grouped, having_nodes, nodes_.size());
  }
  if (top && distinct == e && at[kGroup] == e && at[kHaving] == e)
    MarkShownFolds(range, order_nodes, nodes_.size());
  sources_.resize(scope.sources_begin);
  return range;
}

// Table references, joined by commas or JOIN ... ON.
void Analyzer::From(size_t b, size_t e, Scope& scope) {
  std::vector<std::pair<size_t, size_t>> conditions;
  size_t p = b;
  while (p < e) {
    if (IsKind(p, e, TokenKind::kOpen)) {
      const size_t c = Close(p, e);
      if (c >= e)
        break;
      if (IsWord(p + 1, c, "SELECT") || IsKind(p + 1, c, TokenKind::kOpen)) {
        const Range r = Query(p + 1, c, scope.parent);
        p = c + 1;
        const bool as = IsWord(p, e, "AS");
        if (as)
          ++p;
        std::string_view alias;
        if (IsNameToken(p, e) || (as && IsKind(p, e, TokenKind::kWord)))
          alias = NameText(Tok(p++));
        sources_.push_back(Source{alias, {}, r});
      } else {
        From(p + 1, c, scope);
        p = c + 1;
      }
    } else if (IsNameToken(p, e)) {
      size_t name = p;
      while (IsKind(name + 1, e, TokenKind::kDot) && IsNameToken(name + 2, e))
        name += 2;
      const std::string_view table = NameText(Tok(name));
      p = name + 1;
      const bool as = IsWord(p, e, "AS");
      if (as)
        ++p;
      std::string_view alias = table;
      if (IsNameToken(p, e) || (as && IsKind(p, e, TokenKind::kWord)))
        alias = NameText(Tok(p++));
      if (IsWord(p, e, "WITH") && IsKind(p + 1, e, TokenKind::kOpen))
        p = Close(p + 1, e) + 1;
      sources_.push_back(Source{alias, table, {}});
    } else {
      break;
    }
    if (IsWord(p, e, "ON")) {
      size_t q = p + 1;
      for (int depth = 0; q < e; ++q) {
        const Token& t = Tok(q);
        if (t.kind == TokenKind::kOpen)
          ++depth;
        else if (t.kind == TokenKind::kClose)
          --depth;
        else if (depth == 0 && (t.kind == TokenKind::kComma || WordIs(t, "JOIN") ||
                                WordIs(t, "INNER") || WordIs(t, "CROSS") || WordIs(t, "FULL") ||
                                ((WordIs(t, "LEFT") || WordIs(t, "RIGHT")) &&
                                 !IsKind(q + 1, e, TokenKind::kOpen))))
          break;
      }
      conditions.emplace_back(p + 1, q);
      p = q;
    }
    if (IsKind(p, e, TokenKind::kComma)) {
      ++p;
      continue;
    }
    size_t q = p;
    while (q < e && IsAnyWord(Tok(q), {"INNER", "LEFT", "RIGHT", "FULL", "CROSS", "OUTER"}))
      ++q;
    if (!IsWord(q, e, "JOIN"))
      break;
    p = q + 1;
  }
  scope.sources_end = sources_.size();
  if (p < e)
    Sequence(p, e, &scope);
  for (const auto& [cb, ce] : conditions)
    Sequence(cb, ce, &scope);
}

std::vector<int32_t> Analyzer::GroupBy(size_t b, size_t e, const Scope& scope) {
  std::vector<int32_t> items;
  size_t q = b;
  while (q < e) {
    const size_t ie = ItemEnd(q, e);
    int32_t n = ExprThen(q, ie, &scope, [&](size_t r) { return r == ie; });
    if (n < 0)
      n = Sequence(q, ie, &scope);
    if (n >= 0)
      items.push_back(n);
    q = ie + 1;
  }
  std::vector<int32_t> grouped;
  for (const int32_t n : items) {
    // Money in a list enters as a number of units.
    if (items.size() > 1)
      Convert(n, ValueKind::kUnknown);
    Node& item = nodes_[static_cast<size_t>(n)];
    const int32_t column = ColumnOf(n);
    if (item.type == ValueKind::kTextCi && column >= 0) {
      item.fold = Fold::kKey;
      grouped.push_back(column);
    }
  }
  return grouped;
}

void Analyzer::MarkGroupedNames(const std::vector<int32_t>& grouped, size_t first, size_t last) {
  // Columns inside aggregates are not the group's own.
  std::vector<bool> aggregated(last - first, false);
  for (size_t i = last; i-- > first;) {
    if (nodes_[i].kind != NodeKind::kAggregate && !aggregated[i - first])
      continue;
    const Node& n = nodes_[i];
    for (uint32_t c = 0; c < n.child_count; ++c) {
      const uint32_t child = children_[n.children + c];
      if (child >= first && child < last)
        aggregated[child - first] = true;
    }
  }
  for (size_t i = first; i < last; ++i) {
    Node& n = nodes_[i];
    if (n.kind != NodeKind::kColumn || n.fold != Fold::kNone || aggregated[i - first] ||
        n.source < 0)
      continue;
    for (const int32_t g : grouped) {
      const Node& key = nodes_[static_cast<size_t>(g)];
      if (key.source == n.source &&
          EqualsAsciiNoCase(NameText((*tokens_)[key.op]), NameText((*tokens_)[n.op]))) {
        n.fold = Fold::kAny;
        break;
      }
    }
  }
}

void Analyzer::OrderBy(size_t b, size_t e, const Scope& scope, bool compound) {
  size_t q = b;
  while (q < e) {
    const size_t start = q;
    const size_t ie = ItemEnd(q, e);
    const int32_t n = ExprThen(q, ie, &scope, [&](size_t r) {
      return r == ie || (r + 1 == ie && (IsWord(r, ie, "ASC") || IsWord(r, ie, "DESC")));
    });
    q = ie + 1;
    if (n < 0) {
      Sequence(start, ie, &scope);
      continue;
    }
    // A set operation's ORDER BY may only name its columns, as they are.
    if (compound)
      continue;
    Node& item = nodes_[static_cast<size_t>(n)];
    const Token& t = (*tokens_)[item.op];
    if (item.kind == NodeKind::kLiteral && t.kind == TokenKind::kNumber) {
      const int position = SmallNumber(t, 0);
      if (position >= 1 && static_cast<uint32_t>(position) <= scope.outputs.count)
        item.output = static_cast<int32_t>(scope.outputs.first) + position - 1;
    }
    if (item.output >= 0) {
      // The name or position stands for the column itself.
      const Output& o = outputs_[static_cast<size_t>(item.output)];
      if (!o.star && o.kind == ValueKind::kTextCi && ColumnOf(o.node, false) >= 0)
        item.fold = Fold::kKey;
    } else if (item.type == ValueKind::kTextCi && ColumnOf(n) >= 0) {
      item.fold = Fold::kKey;
    }
  }
}

template <typename Rest>
int32_t Analyzer::ExprThen(size_t b, size_t e, const Scope* scope, Rest rest) {
  const Mark m = Save();
  pos_ = b;
  const int32_t n = Expr(e, scope);
  if (n >= 0 && rest(pos_))
    return n;
  Restore(m);
  return -1;
}

template <typename Parse>
int32_t Analyzer::Deeper(Parse parse) {
  if (abandoned_ || depth_ >= kMaxDepth) {
    abandoned_ = true;
    return -1;
  }
  ++depth_;
  const int32_t n = parse();
  --depth_;
  return n;
}

int32_t Analyzer::Sequence(size_t b, size_t e, const Scope* scope) {
  if (b >= e)
    return -1;
  return Deeper([&] { return SequenceOf(b, e, scope); });
}

int32_t Analyzer::SequenceOf(size_t b, size_t e, const Scope* scope) {
  const size_t mark = scratch_.size();
  size_t p = b;
  while (p < e && !abandoned_) {
    Mark m = Save();
    pos_ = p;
    int32_t n = Expr(e, scope);
    if (n < 0 || pos_ <= p) {
      Restore(m);
      pos_ = p;
      n = Primary(e, scope);
      if (n < 0 || pos_ <= p) {
        Restore(m);
        if (IsKind(p, e, TokenKind::kOpen)) {
          const size_t c = Close(p, e);
          n = Sequence(p + 1, c, scope);
          p = c + 1;
        } else {
          ++p;
        }
        if (n >= 0)
          scratch_.push_back(static_cast<uint32_t>(n));
        continue;
      }
    }
    scratch_.push_back(static_cast<uint32_t>(n));
    p = pos_;
    if (IsKind(p, e, TokenKind::kComma))
      ++p;
  }
  const size_t count = scratch_.size() - mark;
  if (count == 1) {
    const Node& only = nodes_[scratch_[mark]];
    if (only.first == sig_[b] && only.last == sig_[e - 1]) {
      const int32_t n = static_cast<int32_t>(scratch_[mark]);
      scratch_.resize(mark);
      return n;
    }
  }
  // Lists (GROUP BY a, b) and text the analyzer does not understand: money
  // inside enters as a number of units.
  for (size_t k = mark; k < scratch_.size(); ++k)
    Convert(static_cast<int32_t>(scratch_[k]), ValueKind::kUnknown);
  const int32_t node = Add(NodeKind::kOpaque, sig_[b], sig_[e - 1], sig_[b]);
  SetChildren(node, mark);
  return node;
}

int32_t Analyzer::Expr(size_t e, const Scope* scope) {
  return Deeper([&] { return Junction(e, scope, false); });
}

// OR of ANDs (`conjunction` false), or AND of NOTs.
int32_t Analyzer::Junction(size_t e, const Scope* scope, bool conjunction) {
  auto operand = [&] { return conjunction ? Not(e, scope) : Junction(e, scope, true); };
  int32_t left = operand();
  while (left >= 0 && IsWord(pos_, e, conjunction ? "AND" : "OR")) {
    const size_t op = pos_++;
    const int32_t right = operand();
    if (right < 0)
      return -1;
    left = Binary(NodeKind::kCondition, left, right, op);
    nodes_[static_cast<size_t>(left)].type = ValueKind::kBoolean;
  }
  return left;
}

int32_t Analyzer::Not(size_t e, const Scope* scope) {
  if (!IsWord(pos_, e, "NOT"))
    return Predicate(e, scope);
  const size_t op = pos_++;
  const int32_t operand = Not(e, scope);
  if (operand < 0)
    return -1;
  const int32_t n = Around(NodeKind::kCondition, sig_[op],
                           nodes_[static_cast<size_t>(operand)].last, sig_[op], operand);
  nodes_[static_cast<size_t>(n)].type = ValueKind::kBoolean;
  return n;
}

int32_t Analyzer::Predicate(size_t e, const Scope* scope) {
  const int32_t left = Terms(e, scope, false);
  if (left < 0)
    return -1;
  const size_t mark = scratch_.size();
  scratch_.push_back(static_cast<uint32_t>(left));
  auto finish = [&](NodeKind kind, size_t op, size_t last_sig) {
    const int32_t n = Add(kind, nodes_[static_cast<size_t>(left)].first, sig_[last_sig], sig_[op]);
    SetChildren(n, mark);
    nodes_[static_cast<size_t>(n)].type = ValueKind::kBoolean;
    return n;
  };
  const size_t p = pos_;
  if (p < e && IsComparison(Tok(p))) {
    ++pos_;
    const int32_t right = Terms(e, scope, false);
    if (right < 0)
      return -1;
    scratch_.push_back(static_cast<uint32_t>(right));
    CompareGroup(mark);
    const bool collate = CaseGroup(mark, Comparing::kOperands);
    const int32_t n = finish(NodeKind::kCompare, p, pos_ - 1);
    nodes_[static_cast<size_t>(n)].collate = collate;
    return n;
  }
  const size_t q = IsWord(p, e, "NOT") ? p + 1 : p;
  if (IsWord(q, e, "BETWEEN")) {
    pos_ = q + 1;
    const int32_t low = Terms(e, scope, false);
    if (low < 0 || !IsWord(pos_, e, "AND"))
      return -1;
    ++pos_;
    const int32_t high = Terms(e, scope, false);
    if (high < 0)
      return -1;
    scratch_.push_back(static_cast<uint32_t>(low));
    scratch_.push_back(static_cast<uint32_t>(high));
    CompareGroup(mark);
    const bool collate = CaseGroup(mark, Comparing::kOperands);
    const int32_t n = finish(NodeKind::kCondition, q, pos_ - 1);
    nodes_[static_cast<size_t>(n)].collate = collate;
    return n;
  }
  if (IsWord(q, e, "IN") && IsKind(q + 1, e, TokenKind::kOpen)) {
    const size_t open = q + 1;
    const size_t close = Close(open, e);
    if (close >= e)
      return -1;
    const bool query = IsWord(open + 1, close, "SELECT");
    if (query) {
      const Range r = Query(open + 1, close, scope);
      const int32_t sub = Add(NodeKind::kSubquery, sig_[open], sig_[close], sig_[open]);
      Node& node = nodes_[static_cast<size_t>(sub)];
      node.type = r.count > 0 ? Plain(outputs_[r.first].kind) : ValueKind::kUnknown;
      node.output = r.count > 0 ? static_cast<int32_t>(r.first) : -1;
      scratch_.push_back(static_cast<uint32_t>(sub));
    } else {
      size_t item = open + 1;
      while (item < close) {
        pos_ = item;
        const int32_t n = Expr(close, scope);
        if (n < 0)
          return -1;
        scratch_.push_back(static_cast<uint32_t>(n));
        if (IsKind(pos_, close, TokenKind::kComma))
          ++pos_;
        else if (pos_ != close)
          return -1;
        item = pos_;
      }
    }
    CompareGroup(mark);
    const bool collate = CaseGroup(mark, query ? Comparing::kInQuery : Comparing::kInList);
    pos_ = close + 1;
    const int32_t n = finish(NodeKind::kCondition, q, close);
    nodes_[static_cast<size_t>(n)].collate = collate;
    return n;
  }
  if (IsWord(q, e, "LIKE")) {
    pos_ = q + 1;
    const int32_t pattern = Terms(e, scope, false);
    if (pattern < 0)
      return -1;
    scratch_.push_back(static_cast<uint32_t>(pattern));
    if (IsWord(pos_, e, "ESCAPE")) {
      ++pos_;
      const int32_t escape = Terms(e, scope, false);
      if (escape < 0)
        return -1;
      scratch_.push_back(static_cast<uint32_t>(escape));
    }
    for (size_t k = mark; k < scratch_.size(); ++k) {
      Convert(static_cast<int32_t>(scratch_[k]), ValueKind::kText);
      // LIKE ignores case on every engine.
      Node& operand = nodes_[scratch_[k]];
      if (Foldable(operand.type) && operand.type != ValueKind::kNull)
        operand.fold = Fold::kUpper;
    }
    return finish(NodeKind::kCondition, q, pos_ - 1);
  }
  if (IsWord(p, e, "IS")) {
    size_t r = p + 1;
    if (IsWord(r, e, "NOT"))
      ++r;
    if (!IsWord(r, e, "NULL"))
      return -1;
    pos_ = r + 1;
    return finish(NodeKind::kCondition, p, r);
  }
  scratch_.resize(mark);
  return left;
}

// Sums of products (`product` false), or products of unary terms.
int32_t Analyzer::Terms(size_t e, const Scope* scope, bool product) {
  auto operand = [&] { return product ? Unary(e, scope) : Terms(e, scope, true); };
  int32_t left = operand();
  while (left >= 0 && pos_ < e && Tok(pos_).kind == TokenKind::kOperator) {
    const std::string_view op = Tok(pos_).text;
    const bool fits =
        product ? op == "*" || op == "/" || op == "%"
                : op == "+" || op == "-" || op == "&" || op == "|" || op == "^" || op == "||";
    if (!fits)
      break;
    const size_t at = pos_++;
    const int32_t right = operand();
    if (right < 0)
      return -1;
    left = Binary(NodeKind::kArithmetic, left, right, at);
    Arithmetic(left, op);
  }
  return left;
}

int32_t Analyzer::Unary(size_t e, const Scope* scope) {
  if (pos_ >= e || Tok(pos_).kind != TokenKind::kOperator)
    return Primary(e, scope);
  const std::string_view op = Tok(pos_).text;
  if (op != "-" && op != "+" && op != "~")
    return -1;
  const size_t at = pos_++;
  const int32_t operand = Deeper([&] { return Unary(e, scope); });
  if (operand < 0)
    return -1;
  const int32_t n = Around(NodeKind::kUnary, sig_[at], nodes_[static_cast<size_t>(operand)].last,
                           sig_[at], operand);
  const ValueKind t = nodes_[static_cast<size_t>(operand)].type;
  ValueKind type = ValueKind::kUnknown;
  if (op == "~")
    type = t == ValueKind::kInteger || t == ValueKind::kNull ? t : ValueKind::kUnknown;
  else if (IsNumeric(t) || t == ValueKind::kNull)
    type = t;
  if (type == ValueKind::kUnknown)
    Convert(operand, ValueKind::kUnknown);
  nodes_[static_cast<size_t>(n)].type = type;
  return n;
}

int32_t Analyzer::Primary(size_t e, const Scope* scope) {
  const size_t p = pos_;
  if (p >= e)
    return -1;
  const Token& t = Tok(p);
  int32_t n = -1;
  switch (t.kind) {
    case TokenKind::kNumber:
      n = Add(NodeKind::kLiteral, sig_[p], sig_[p], sig_[p]);
      nodes_[static_cast<size_t>(n)].type = NumberKind(t.text);
      pos_ = p + 1;
      return n;
    case TokenKind::kString:
    case TokenKind::kNString:
      n = Add(NodeKind::kLiteral, sig_[p], sig_[p], sig_[p]);
      nodes_[static_cast<size_t>(n)].type = ValueKind::kText;
      pos_ = p + 1;
      return n;
    case TokenKind::kMarker: {
      n = Add(NodeKind::kParameter, sig_[p], sig_[p], sig_[p]);
      const size_t ordinal = static_cast<size_t>(
          std::lower_bound(markers_.begin(), markers_.end(), sig_[p]) - markers_.begin());
      const size_t index = static_cast<size_t>(first_param_) + ordinal;
      nodes_[static_cast<size_t>(n)].type =
          index < params_.size() ? params_[index] : ValueKind::kNull;
      pos_ = p + 1;
      return n;
    }
    case TokenKind::kVariable:
      n = Add(NodeKind::kOpaque, sig_[p], sig_[p], sig_[p]);
      if (t.text.size() == 10 && WordIs(Token{TokenKind::kWord, t.text.substr(2)}, "IDENTITY"))
        nodes_[static_cast<size_t>(n)].type = ValueKind::kInteger;
      pos_ = p + 1;
      return n;
    case TokenKind::kOpen: {
      const size_t close = Close(p, e);
      if (close >= e)
        return -1;
      if (IsWord(p + 1, close, "SELECT")) {
        const Range r = Query(p + 1, close, scope);
        n = Add(NodeKind::kSubquery, sig_[p], sig_[close], sig_[p]);
        nodes_[static_cast<size_t>(n)].type =
            r.count > 0 ? Plain(outputs_[r.first].kind) : ValueKind::kUnknown;
        pos_ = close + 1;
        return n;
      }
      pos_ = p + 1;
      const int32_t inner = Expr(close, scope);
      if (inner < 0 || pos_ != close)
        return -1;
      n = Around(NodeKind::kParens, sig_[p], sig_[close], sig_[p], inner);
      nodes_[static_cast<size_t>(n)].type = nodes_[static_cast<size_t>(inner)].type;
      pos_ = close + 1;
      return n;
    }
    case TokenKind::kWord:
    case TokenKind::kQuotedName:
      break;
    default:
      return -1;
  }
  if (t.kind == TokenKind::kWord && !names_[p]) {
    if (WordIs(t, "NULL")) {
      n = Add(NodeKind::kLiteral, sig_[p], sig_[p], sig_[p]);
      nodes_[static_cast<size_t>(n)].type = ValueKind::kNull;
      pos_ = p + 1;
      return n;
    }
    if (WordIs(t, "CASE"))
      return Case(e, scope);
    if (WordIs(t, "EXISTS") && IsKind(p + 1, e, TokenKind::kOpen)) {
      const size_t close = Close(p + 1, e);
      if (close >= e)
        return -1;
      Query(p + 2, close, scope);
      n = Add(NodeKind::kCondition, sig_[p], sig_[close], sig_[p]);
      nodes_[static_cast<size_t>(n)].type = ValueKind::kBoolean;
      pos_ = close + 1;
      return n;
    }
    return -1;
  }
  size_t q = p;
  while (IsKind(q + 1, e, TokenKind::kDot) && IsNameToken(q + 2, e))
    q += 2;
  if (IsKind(q + 1, e, TokenKind::kOpen)) {
    pos_ = q;
    if (q == p && WordIs(t, "CAST"))
      return Cast(e, scope);
    return Call(e, scope);
  }
  if (IsKind(q + 1, e, TokenKind::kDot))
    return -1;  // T.* or an unfinished name
  n = Add(NodeKind::kColumn, sig_[p], sig_[q], sig_[q]);
  const std::string_view qualifier = q > p ? NameText(Tok(q - 2)) : std::string_view();
  Node& column = nodes_[static_cast<size_t>(n)];
  column.type = Resolve(scope, qualifier, NameText(Tok(q)), column.source, column.output);
  pos_ = q + 1;
  return n;
}

int32_t Analyzer::Case(size_t e, const Scope* scope) {
  const size_t start = pos_++;
  const size_t mark = scratch_.size();
  bool operand = false, has_else = false, collate = false;
  if (!IsWord(pos_, e, "WHEN")) {
    const int32_t o = Expr(e, scope);
    if (o < 0)
      return -1;
    scratch_.push_back(static_cast<uint32_t>(o));
    operand = true;
  }
  size_t pairs = 0;
  while (IsWord(pos_, e, "WHEN")) {
    ++pos_;
    const int32_t when = Expr(e, scope);
    if (when < 0 || !IsWord(pos_, e, "THEN"))
      return -1;
    ++pos_;
    const int32_t then = Expr(e, scope);
    if (then < 0)
      return -1;
    scratch_.push_back(static_cast<uint32_t>(when));
    scratch_.push_back(static_cast<uint32_t>(then));
    ++pairs;
  }
  if (IsWord(pos_, e, "ELSE")) {
    ++pos_;
    const int32_t other = Expr(e, scope);
    if (other < 0)
      return -1;
    scratch_.push_back(static_cast<uint32_t>(other));
    has_else = true;
  }
  if (pairs == 0 || !IsWord(pos_, e, "END"))
    return -1;
  const size_t base = mark + (operand ? 1 : 0);
  if (operand) {
    // CASE x WHEN v ...: each v is compared with x.
    const size_t group = scratch_.size();
    scratch_.push_back(scratch_[mark]);
    for (size_t k = 0; k < pairs; ++k)
      scratch_.push_back(scratch_[base + 2 * k]);
    CompareGroup(group);
    collate = CaseGroup(group, Comparing::kOperands);
    scratch_.resize(group);
  }
  ValueKind kind = ValueKind::kNull;
  for (size_t k = 0; k < pairs; ++k)
    kind = Common(kind, nodes_[scratch_[base + 2 * k + 1]].type);
  if (has_else)
    kind = Common(kind, nodes_[scratch_.back()].type);
  for (size_t k = 0; k < pairs; ++k)
    Convert(static_cast<int32_t>(scratch_[base + 2 * k + 1]), kind);
  if (has_else)
    Convert(static_cast<int32_t>(scratch_.back()), kind);
  const int32_t n = Add(NodeKind::kCase, sig_[start], sig_[pos_], sig_[start]);
  ++pos_;
  SetChildren(n, mark);
  Node& node = nodes_[static_cast<size_t>(n)];
  node.type = Plain(kind);
  node.operand = operand;
  node.has_else = has_else;
  node.collate = collate;
  return n;
}

// CAST(value AS type[(precision[, scale])])
int32_t Analyzer::Cast(size_t e, const Scope* scope) {
  const size_t start = pos_;
  const size_t open = start + 1;
  const size_t close = Close(open, e);
  if (close >= e)
    return -1;
  pos_ = open + 1;
  const int32_t value = Expr(close, scope);
  if (value < 0 || !IsWord(pos_, close, "AS") || pos_ + 1 >= close)
    return -1;
  const size_t type = pos_ + 1;
  int precision = -1, scale = -1;
  size_t after = type + 1;
  if (IsKind(after, close, TokenKind::kOpen)) {
    const size_t args = Close(after, close);
    if (args >= close)
      return -1;
    precision = SmallNumber(Tok(after + 1), -1);
    if (IsKind(after + 2, args, TokenKind::kComma))
      scale = SmallNumber(Tok(after + 3), -1);
    after = args + 1;
  }
  if (after != close)
    return -1;
  const Token& word = Tok(type);
  ValueKind kind = ValueKind::kUnknown;
  int8_t keep = 4;
  if (IsAnyWord(word, {"MONEY", "SMALLMONEY"})) {
    kind = ValueKind::kMoney;
  } else if (IsAnyWord(word, {"DECIMAL", "NUMERIC", "DEC"})) {
    // decimal(p,s) small enough for money reads back as money on every
    // engine; the default decimal(18,0) and wider ones do not.
    const int p = precision < 0 ? 18 : precision;
    const int s = scale < 0 ? 0 : scale;
    if (s <= 4 && p - s <= 15 && precision >= 0) {
      kind = ValueKind::kMoney;
      keep = static_cast<int8_t>(s);
    } else {
      kind = ValueKind::kDecimal;
    }
  } else if (IsAnyWord(word, {"INT", "INTEGER", "BIGINT", "SMALLINT", "TINYINT", "BIT"})) {
    kind = ValueKind::kInteger;
  } else if (IsAnyWord(word, {"FLOAT", "REAL", "DOUBLE"})) {
    kind = ValueKind::kFloat;
  } else if (IsAnyWord(word, {"CHAR", "VARCHAR", "NCHAR", "NVARCHAR", "TEXT", "NTEXT"})) {
    // A name keeps its rules through a CAST to text.
    kind = nodes_[static_cast<size_t>(value)].type == ValueKind::kTextCi ? ValueKind::kTextCi
                                                                         : ValueKind::kText;
  } else if (IsAnyWord(word,
                       {"DATETIME", "SMALLDATETIME", "DATE", "DATETIME2", "TIME", "TIMESTAMP"})) {
    kind = ValueKind::kDate;
  }
  const int32_t n = Around(NodeKind::kCast, sig_[start], sig_[close], sig_[start], value);
  Convert(value, kind);
  Node& operand = nodes_[static_cast<size_t>(value)];
  operand.cast_operand = true;
  if (operand.use == Use::kMoney)
    operand.scale = keep;
  nodes_[static_cast<size_t>(n)].type = kind;
  nodes_[static_cast<size_t>(n)].scale = keep;
  pos_ = close + 1;
  return n;
}

int32_t Analyzer::Call(size_t e, const Scope* scope) {
  const size_t name = pos_;
  size_t first = name;
  while (first >= 2 && IsKind(first - 1, e, TokenKind::kDot))
    first -= 2;
  const size_t open = name + 1;
  const size_t close = Close(open, e);
  if (close >= e)
    return -1;
  const Token& fn = Tok(name);
  const size_t mark = scratch_.size();
  size_t q = open + 1;
  const bool distinct = IsWord(q, close, "DISTINCT");
  if (distinct || IsWord(q, close, "ALL"))
    ++q;
  const bool star = IsOp(q, close, "*") && q + 1 == close;
  while (!star && q < close) {
    const size_t ae = ItemEnd(q, close);
    const int32_t a = Sequence(q, ae, scope);
    if (a >= 0)
      scratch_.push_back(static_cast<uint32_t>(a));
    q = ae + 1;
  }
  size_t last = close;
  bool window = false;
  if (IsWord(close + 1, e, "OVER") && IsKind(close + 2, e, TokenKind::kOpen)) {
    const size_t over = Close(close + 2, e);
    if (over >= e)
      return -1;
    const int32_t frame = Sequence(close + 3, over, scope);
    if (frame >= 0)
      scratch_.push_back(static_cast<uint32_t>(frame));
    last = over;
    window = true;
  }
  const size_t args = scratch_.size() - mark;
  const ValueKind a0 = args > 0 ? nodes_[scratch_[mark]].type : ValueKind::kUnknown;
  ValueKind type = ValueKind::kUnknown;
  NodeKind kind = NodeKind::kCall;
  auto convert_all = [&](ValueKind target) {
    for (size_t k = mark; k < scratch_.size(); ++k)
      Convert(static_cast<int32_t>(scratch_[k]), target);
  };
  const bool dotted = first != name;
  if (!window && !dotted && IsAnyWord(fn, {"COUNT", "COUNT_BIG"})) {
    kind = NodeKind::kAggregate;
    type = ValueKind::kInteger;
  } else if (!window && !dotted && IsAnyWord(fn, {"SUM", "AVG", "MIN", "MAX"}) && args == 1) {
    kind = NodeKind::kAggregate;
    if (IsAnyWord(fn, {"MIN", "MAX"}))
      type = Plain(a0);
    else if (a0 == ValueKind::kMoney || a0 == ValueKind::kFloat || a0 == ValueKind::kNull)
      type = a0;
    else if (a0 == ValueKind::kInteger || a0 == ValueKind::kDecimal)
      type = WordIs(fn, "SUM") ? a0 : ValueKind::kFloat;
    else
      convert_all(ValueKind::kUnknown);
  } else if (!window && !dotted && IsAnyWord(fn, {"ISNULL", "COALESCE"})) {
    type = Plain(CommonOf(mark, 0, 1));
    convert_all(type);
  } else if (!window && !dotted && WordIs(fn, "NULLIF") && args == 2) {
    type = Plain(a0);
    CompareGroup(mark);
  } else if (!window && !dotted && IsAnyWord(fn, {"ROUND", "ABS", "CEILING", "FLOOR"}) &&
             args >= 1) {
    type = IsNumeric(a0) || a0 == ValueKind::kNull ? a0 : ValueKind::kUnknown;
    if (type == ValueKind::kUnknown)
      convert_all(ValueKind::kUnknown);
  } else if (!window && !dotted &&
             IsAnyWord(fn, {"UPPER", "LOWER", "LTRIM", "RTRIM", "TRIM", "LEFT", "RIGHT",
                            "SUBSTRING", "REPLACE", "REVERSE", "REPLICATE"})) {
    type = ValueKind::kText;
    convert_all(ValueKind::kText);
  } else if (!window && !dotted && IsAnyWord(fn, {"LEN", "DATALENGTH", "CHARINDEX"})) {
    type = ValueKind::kInteger;
    convert_all(ValueKind::kText);
  } else if (!window && !dotted && IsAnyWord(fn, {"GETDATE", "GETUTCDATE", "DATEADD"})) {
    type = ValueKind::kDate;
    convert_all(ValueKind::kUnknown);
  } else if (!window && !dotted &&
             IsAnyWord(fn, {"YEAR", "MONTH", "DAY", "DATEPART", "DATEDIFF"})) {
    type = ValueKind::kInteger;
    convert_all(ValueKind::kUnknown);
  } else {
    convert_all(ValueKind::kUnknown);
  }
  if (kind == NodeKind::kAggregate && distinct && args == 1) {
    // COUNT(DISTINCT Name) counts keys.
    Node& arg = nodes_[scratch_[mark]];
    if (arg.type == ValueKind::kTextCi && ColumnOf(static_cast<int32_t>(scratch_[mark])) >= 0)
      arg.fold = Fold::kKey;
  }
  const int32_t n = Add(kind, sig_[first], sig_[last], sig_[name]);
  SetChildren(n, mark);
  nodes_[static_cast<size_t>(n)].type = type;
  nodes_[static_cast<size_t>(n)].distinct = distinct && kind == NodeKind::kAggregate;
  pos_ = last + 1;
  return n;
}

int32_t Analyzer::OutputNamed(Range outputs, std::string_view name) const {
  for (uint32_t k = 0; k < outputs.count; ++k) {
    const Output& o = outputs_[outputs.first + k];
    if (!o.star && EqualsAsciiNoCase(o.name, name))
      return static_cast<int32_t>(outputs.first + k);
  }
  return -1;
}

ValueKind Analyzer::Resolve(const Scope* scope, std::string_view qualifier, std::string_view name,
                            int32_t& source, int32_t& output) const {
  source = output = -1;
  const std::vector<Catalogue::Entry>* stored = catalogue_->Columns(name);
  auto stored_kind = [&](std::string_view table, ValueKind& kind) {
    if (stored)
      for (const Catalogue::Entry& e : *stored)
        if (EqualsAsciiNoCase(e.table, table)) {
          kind = e.kind;
          return true;
        }
    return false;
  };
  for (const Scope* s = scope; s; s = s->parent) {
    if (s == scope && s->aliases && qualifier.empty()) {
      output = OutputNamed(s->outputs, name);
      if (output >= 0)
        return outputs_[static_cast<size_t>(output)].kind;
    }
    for (size_t i = s->sources_begin; i < s->sources_end; ++i) {
      const Source& src = sources_[i];
      if (!qualifier.empty() && !EqualsAsciiNoCase(src.alias, qualifier))
        continue;
      source = static_cast<int32_t>(i);
      ValueKind k = ValueKind::kUnknown;
      if (!src.table.empty()) {
        if (stored_kind(src.table, k) || (!qualifier.empty() && catalogue_->HasTable(src.table)))
          return k;
      } else {
        const int32_t o = OutputNamed(src.outputs, name);
        if (o >= 0 || !qualifier.empty())
          return o >= 0 ? outputs_[static_cast<size_t>(o)].kind : ValueKind::kUnknown;
      }
      if (!qualifier.empty())
        return catalogue_->IsMoneyName(name) ? ValueKind::kMoney : ValueKind::kUnknown;
      source = -1;
    }
  }
  // A table the catalogue does not know: a money column's name is money.
  return catalogue_->IsMoneyName(name) ? ValueKind::kMoney : ValueKind::kUnknown;
}

// Nodes compared with each other (=, BETWEEN, IN, NULLIF, CASE x WHEN):
// exactly, in money, unless one of them is approximate or of no known kind.
void Analyzer::CompareGroup(size_t mark) {
  bool money = false, inexact = false;
  for (size_t k = mark; k < scratch_.size(); ++k) {
    switch (nodes_[scratch_[k]].type) {
      case ValueKind::kMoney:
        money = true;
        break;
      case ValueKind::kFloat:
      case ValueKind::kUnknown:
      case ValueKind::kDate:
      case ValueKind::kBoolean:
        inexact = true;
        break;
      default:
        break;
    }
  }
  if (!money)
    return;
  for (size_t k = mark; k < scratch_.size(); ++k) {
    Node& n = nodes_[scratch_[k]];
    if (inexact) {
      if (n.type == ValueKind::kMoney)
        n.use = Use::kFloat;
    } else if (n.type == ValueKind::kInteger || n.type == ValueKind::kDecimal || IsText(n.type)) {
      n.use = Use::kCompareMoney;
    }
  }
}

// SQLite's rules, which the embedded engine follows by itself: the first
// operand that is a column decides (an IN list asks its left operand only,
// an IN subquery its column after the left operand); none decides unless
// the statement upper-cases one side to meet a literal or a parameter.
bool Analyzer::CaseGroup(size_t mark, Comparing comparing) {
  const size_t count = scratch_.size() - mark;
  if (count < 2)
    return false;
  auto operand = [&](size_t k) -> Node& { return nodes_[scratch_[mark + k]]; };
  // The subquery's column an IN compares with.
  const Output* rows = nullptr;
  if (comparing == Comparing::kInQuery && operand(1).output >= 0)
    rows = &outputs_[static_cast<size_t>(operand(1).output)];
  bool decided = false, keyed = false, collate = false;
  for (size_t k = 0; k < (comparing == Comparing::kInList ? 1 : count) && !decided; ++k) {
    if (ColumnOf(static_cast<int32_t>(scratch_[mark + k])) >= 0) {
      decided = true;
      keyed = operand(k).type == ValueKind::kTextCi;
    } else if (k == 1 && rows && !rows->star && ColumnOf(rows->node) >= 0) {
      decided = true;
      keyed = rows->kind == ValueKind::kTextCi;
    }
  }
  if (!decided) {
    size_t upper = 0, values = 0;
    for (size_t k = 0; k < count; ++k) {
      const Node& n = operand(k);
      if (IsCallOf(n, "UPPER") && n.child_count == 1)
        ++upper;
      else if ((n.kind == NodeKind::kLiteral && IsText(n.type)) || n.kind == NodeKind::kParameter)
        ++values;
    }
    keyed = collate = upper == 1 && upper + values == count &&
                      (comparing != Comparing::kInList || IsCallOf(operand(0), "UPPER"));
  }
  if (!keyed)
    return false;
  for (size_t k = 0; k < count; ++k)
    if (!Foldable(operand(k).type))
      return false;
  for (size_t k = 0; k < count; ++k) {
    Node& n = operand(k);
    if (n.type != ValueKind::kNull)
      n.fold = rows && k == 1 ? Fold::kKeys : Fold::kKey;
  }
  return collate;
}

int32_t Analyzer::ColumnOf(int32_t node, bool casts) const {
  while (node >= 0) {
    const Node& n = nodes_[static_cast<size_t>(node)];
    if (n.kind == NodeKind::kColumn)
      return node;
    if (n.kind != NodeKind::kParens && !(casts && n.kind == NodeKind::kCast))
      break;
    node = static_cast<int32_t>(children_[n.children]);
  }
  return -1;
}

bool Analyzer::IsCallOf(const Node& node, std::string_view upper_name) const {
  return node.kind == NodeKind::kCall && node.first == node.op &&
         WordIs((*tokens_)[node.op], upper_name);
}

void Analyzer::MarkShownFolds(Range outputs, size_t order_first, size_t order_last) {
  for (uint32_t k = 0; k < outputs.count; ++k)
    if (outputs_[outputs.first + k].star)
      return;
  for (uint32_t k = 0; k < outputs.count; ++k) {
    Output& o = outputs_[outputs.first + k];
    if (!o.named || o.node < 0)
      continue;
    // UPPER(column) AS name, unless ORDER BY sorts by it.
    const Node& n = nodes_[static_cast<size_t>(o.node)];
    const bool upper = IsCallOf(n, "UPPER");
    if (!(upper || IsCallOf(n, "LOWER")) || n.child_count != 1 ||
        Child(n, 0).kind != NodeKind::kColumn || !Foldable(Child(n, 0).type))
      continue;
    bool sorted = false;
    for (size_t i = order_first; i < order_last; ++i)
      sorted |= nodes_[i].output == static_cast<int32_t>(outputs.first + k);
    if (!sorted)
      o.shown = upper ? ResultFold::kUpper : ResultFold::kLower;
  }
}

void Analyzer::Arithmetic(int32_t node, std::string_view op) {
  Node& n = nodes_[static_cast<size_t>(node)];
  const int32_t li = static_cast<int32_t>(children_[n.children]);
  const int32_t ri = static_cast<int32_t>(children_[n.children + 1]);
  const ValueKind l = nodes_[static_cast<size_t>(li)].type;
  const ValueKind r = nodes_[static_cast<size_t>(ri)].type;
  ValueKind type = ValueKind::kUnknown;
  const bool arithmetic = op == "+" || op == "-" || op == "*" || op == "/" || op == "%";
  if (op == "||" ||
      (op == "+" && (IsText(l) || IsText(r)) && (IsText(l) || l == ValueKind::kNull) &&
       (IsText(r) || r == ValueKind::kNull))) {
    type = ValueKind::kText;
    nodes_[static_cast<size_t>(node)].concat = op == "+";
  } else if (l == ValueKind::kMoney || r == ValueKind::kMoney) {
    const int32_t other = l == ValueKind::kMoney ? ri : li;
    const ValueKind o = l == ValueKind::kMoney ? r : l;
    if (!arithmetic) {
      type = ValueKind::kUnknown;
    } else if (o == ValueKind::kMoney || o == ValueKind::kInteger || o == ValueKind::kDecimal ||
               o == ValueKind::kNull) {
      type = ValueKind::kMoney;
    } else if (IsText(o)) {
      type = ValueKind::kMoney;
      nodes_[static_cast<size_t>(other)].use = Use::kMoney;
    } else {
      type = o == ValueKind::kFloat ? ValueKind::kFloat : ValueKind::kUnknown;
    }
    if (type != ValueKind::kMoney) {
      Convert(li, ValueKind::kUnknown);
      Convert(ri, ValueKind::kUnknown);
    }
  } else if ((IsNumeric(l) || l == ValueKind::kNull) && (IsNumeric(r) || r == ValueKind::kNull)) {
    type = Rank(l) >= Rank(r) ? l : r;
    if (!arithmetic && type != ValueKind::kInteger && type != ValueKind::kNull)
      type = ValueKind::kUnknown;
  }
  nodes_[static_cast<size_t>(node)].type = type;
}

// How a node enters a place that takes `target`.
void Analyzer::Convert(int32_t node, ValueKind target) {
  Node& n = nodes_[static_cast<size_t>(node)];
  if (n.use != Use::kAsIs)
    return;
  if (n.type == ValueKind::kMoney) {
    switch (target) {
      case ValueKind::kMoney:
      case ValueKind::kNull:
        break;
      case ValueKind::kText:
      case ValueKind::kTextCi:
        n.use = Use::kText;
        break;
      case ValueKind::kInteger:
        n.use = Use::kInteger;
        break;
      default:
        n.use = Use::kFloat;
        break;
    }
  } else if (target == ValueKind::kMoney && n.type != ValueKind::kNull) {
    n.use = Use::kMoney;
  }
}

ValueKind Analyzer::CommonOf(size_t mark, size_t from, size_t step) const {
  ValueKind kind = ValueKind::kNull;
  for (size_t k = mark + from; k < scratch_.size(); k += step)
    kind = Common(kind, nodes_[scratch_[k]].type);
  return kind;
}

}  // namespace kx4::ado::dialect
