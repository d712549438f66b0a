#include "dataaccess/dialect/Operand.h"

#include <algorithm>
#include <initializer_list>

namespace kx4::ado::dialect {
namespace {

bool WordAmong(const Token& token, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(),
                     [&](std::string_view word) { return WordIs(token, word); });
}

// Words that begin no operand of their own: keywords, and the typed literals
// and quantifiers whose operand follows them.  Sorted, for a binary search:
// every word of a statement is looked up.
constexpr std::string_view kNoOperand[] = {
    "ALL",     "AND",  "ANY",     "ARRAY",    "AS",        "BETWEEN",  "BY",     "CASE",
    "COLLATE", "DATE", "DEFAULT", "DISTINCT", "ELSE",      "END",      "ESCAPE", "EXISTS",
    "FALSE",   "FROM", "GROUP",   "HAVING",   "IN",        "INTERVAL", "IS",     "JOIN",
    "LIKE",    "NOT",  "NULL",    "ON",       "OR",        "ORDER",    "ROW",    "SELECT",
    "SET",     "SOME", "THEN",    "TIME",     "TIMESTAMP", "TOP",      "TRUE",   "UNION",
    "VALUES",  "WHEN", "WHERE"};

bool BeginsNoOperand(const Token& token) {
  char upper[10];
  const std::string_view text = token.text;
  if (text.size() > sizeof upper)
    return false;
  for (size_t k = 0; k < text.size(); ++k)
    upper[k] = text[k] >= 'a' && text[k] <= 'z' ? static_cast<char>(text[k] - 32) : text[k];
  return std::binary_search(std::begin(kNoOperand), std::end(kNoOperand),
                            std::string_view(upper, text.size()));
}

bool IsName(const Token& token) {
  return (token.kind == TokenKind::kWord && !BeginsNoOperand(token)) ||
         token.kind == TokenKind::kQuotedName;
}

bool IsComparisonOperator(const Token& token) {
  if (token.kind != TokenKind::kOperator)
    return false;
  for (std::string_view op : {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"}) {
    if (token.text == op)
      return true;
  }
  return false;
}

// Whether the operand at `begin` is the target of an assignment in a SET
// list: the clause it stands in, read backwards, begins with SET.
bool InSetList(const std::vector<Token>& tokens, size_t begin) {
  const size_t clause = FindBackAtLevel(tokens, begin, [](const Token& t) {
    return t.kind == TokenKind::kSemicolon ||
           WordAmong(t, {"SET", "WHERE", "ON", "HAVING", "WHEN", "SELECT", "AND", "OR", "NOT",
                         "THEN", "ELSE", "BY", "JOIN", "RETURNING"});
  });
  return clause != SIZE_MAX && WordIs(tokens[clause], "SET");
}

}  // namespace

size_t PreviousSignificant(const std::vector<Token>& tokens, size_t i) {
  while (i > 0) {
    --i;
    if (Significant(tokens[i]))
      return i;
  }
  return SIZE_MAX;
}

std::string_view Operand::Name(const Translator& translator) const {
  return NameText(translator.Tokens()[name]);
}

bool Operand::IsCallOf(const Translator& translator, std::string_view upper_name) const {
  return kind == Kind::kCall && WordIs(translator.Tokens()[name], upper_name);
}

std::optional<Operand> ReadOperand(const Translator& translator, size_t i, size_t end) {
  const std::vector<Token>& tokens = translator.Tokens();
  if (i >= end)
    return std::nullopt;
  const Token& token = tokens[i];
  switch (token.kind) {
    case TokenKind::kString:
    case TokenKind::kNString:
      return Operand{Operand::Kind::kString, i, i + 1, i, i};
    case TokenKind::kMarker:
      return Operand{Operand::Kind::kMarker, i, i + 1, i, i};
    case TokenKind::kOpen: {
      const size_t close = translator.MatchingClose(i, end);
      if (close >= end)
        return std::nullopt;
      return Operand{Operand::Kind::kGroup, i, close + 1, i, i};
    }
    default:
      break;
  }
  if (!IsName(token))
    return std::nullopt;
  // name[.name...], and a call when "(" follows.
  size_t name = i;
  for (;;) {
    const size_t dot = translator.NextSignificant(name + 1, end);
    if (dot >= end || tokens[dot].kind != TokenKind::kDot)
      break;
    const size_t part = translator.NextSignificant(dot + 1, end);
    if (part >= end || !IsName(tokens[part]))
      return std::nullopt;  // t.* and the like
    name = part;
  }
  const size_t open = translator.NextSignificant(name + 1, end);
  if (open < end && tokens[open].kind == TokenKind::kOpen) {
    if (tokens[name].kind != TokenKind::kWord)
      return std::nullopt;
    const size_t close = translator.MatchingClose(open, end);
    if (close >= end)
      return std::nullopt;
    return Operand{Operand::Kind::kCall, i, close + 1, name, open};
  }
  return Operand{Operand::Kind::kColumn, i, name + 1, name, name};
}

bool FreeBefore(const Translator& translator, size_t begin) {
  const std::vector<Token>& tokens = translator.Tokens();
  const size_t before = PreviousSignificant(tokens, begin);
  if (before != SIZE_MAX) {
    const Token& t = tokens[before];
    if (t.kind == TokenKind::kOperator || t.kind == TokenKind::kDot ||
        WordAmong(t, {"COLLATE", "LIKE", "IN", "BETWEEN", "ESCAPE", "SIMILAR", "ILIKE", "IS"}))
      return false;
  }
  return !InSetList(tokens, begin);
}

bool FreeAfter(const Translator& translator, size_t end, size_t limit) {
  const size_t next = translator.NextSignificant(end, limit);
  if (next >= limit)
    return true;
  const Token& t = translator.Tokens()[next];
  switch (t.kind) {
    case TokenKind::kClose:
    case TokenKind::kComma:
    case TokenKind::kSemicolon:
      return true;
    case TokenKind::kWord:
      return WordAmong(
          t, {"AND",       "OR",     "THEN",   "WHEN",   "ELSE",   "END",       "IS",     "AS",
              "ORDER",     "GROUP",  "HAVING", "UNION",  "EXCEPT", "INTERSECT", "LIMIT",  "OFFSET",
              "FETCH",     "FOR",    "WHERE",  "FROM",   "JOIN",   "INNER",     "LEFT",   "RIGHT",
              "FULL",      "CROSS",  "ON",     "SELECT", "INSERT", "UPDATE",    "DELETE", "SET",
              "RETURNING", "OPTION", "ASC",    "DESC"});
    default:
      return false;
  }
}

bool MayBeginTest(const Translator& translator, size_t i, size_t end) {
  const std::vector<Token>& tokens = translator.Tokens();
  size_t last = i;
  switch (tokens[i].kind) {
    case TokenKind::kString:
    case TokenKind::kNString:
    case TokenKind::kMarker:
      break;
    case TokenKind::kWord:
    case TokenKind::kQuotedName:
      for (;;) {
        const size_t dot = translator.NextSignificant(last + 1, end);
        if (dot >= end || tokens[dot].kind != TokenKind::kDot)
          break;
        last = translator.NextSignificant(dot + 1, end);
        if (last >= end)
          return false;
      }
      break;
    default:
      return false;
  }
  const size_t next = translator.NextSignificant(last + 1, end);
  if (next >= end)
    return false;
  const Token& t = tokens[next];
  return t.kind == TokenKind::kOpen || IsComparisonOperator(t) || WordIs(t, "LIKE") ||
         WordIs(t, "NOT");
}

std::optional<Comparison> ReadComparison(const Translator& translator, const Operand& left,
                                         size_t end) {
  const size_t op = translator.NextSignificant(left.end, end);
  if (op >= end || !IsComparisonOperator(translator.Tokens()[op]))
    return std::nullopt;
  const std::optional<Operand> right =
      ReadOperand(translator, translator.NextSignificant(op + 1, end), end);
  if (!right || !FreeAfter(translator, right->end, end) || !FreeBefore(translator, left.begin))
    return std::nullopt;
  return Comparison{left, op, *right};
}

std::optional<LikeTest> ReadLike(const Translator& translator, const Operand& subject, size_t end) {
  const std::vector<Token>& tokens = translator.Tokens();
  size_t like = translator.NextSignificant(subject.end, end);
  if (like < end && WordIs(tokens[like], "NOT"))
    like = translator.NextSignificant(like + 1, end);
  if (like >= end || !WordIs(tokens[like], "LIKE"))
    return std::nullopt;
  const size_t pattern = translator.NextSignificant(like + 1, end);
  if (pattern >= end ||
      (tokens[pattern].kind != TokenKind::kString && tokens[pattern].kind != TokenKind::kNString))
    return std::nullopt;
  const size_t escape = translator.NextSignificant(pattern + 1, end);
  if ((escape < end && WordIs(tokens[escape], "ESCAPE")) ||
      !FreeAfter(translator, pattern + 1, end) || !FreeBefore(translator, subject.begin))
    return std::nullopt;
  return LikeTest{subject, like, pattern};
}

}  // namespace kx4::ado::dialect
