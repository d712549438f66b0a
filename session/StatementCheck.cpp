#include "session/StatementCheck.h"

#include <algorithm>
#include <vector>

#include "dataaccess/dialect/Dialect.h"
#include "variant/Utf8.h"

namespace kx4 {

namespace {

using ado::dialect::ResolveName;
using ado::dialect::Significant;
using ado::dialect::Token;
using ado::dialect::TokenKind;
using ado::dialect::WordIs;

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsPlainName(std::string_view part) {
  if (part.empty() || IsAsciiDigit(part.front()))
    return false;
  return std::all_of(part.begin(), part.end(),
                     [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
}

template <size_t N>
constexpr bool Sorted(const std::string_view (&words)[N]) {
  return std::is_sorted(std::begin(words), std::end(words));
}

template <size_t N>
bool Contains(const std::string_view (&sorted)[N], std::string_view word) {
  return std::binary_search(std::begin(sorted), std::end(sorted), word);
}

// Words that change data or the session wherever they stand; all are
// reserved, so no plain column or table carries these names.
constexpr std::string_view kWritingWords[] = {"alter", "create", "declare", "delete",   "deny",
                                              "drop",  "exec",   "execute", "grant",    "insert",
                                              "into",  "merge",  "revoke",  "truncate", "update"};
static_assert(Sorted(kWritingWords));

// Keywords that a parenthesis may follow without a function being called.
constexpr std::string_view kParenthesisKeywords[] = {
    "all",      "and",   "any",    "array",        "as",     "between",   "by",     "case",
    "distinct", "else",  "escape", "except",       "exists", "fetch",     "filter", "first",
    "from",     "group", "having", "ilike",        "in",     "intersect", "is",     "join",
    "lateral",  "like",  "limit",  "materialized", "next",   "not",       "offset", "on",
    "only",     "or",    "over",   "recursive",    "row",    "rows",      "select", "similar",
    "some",     "then",  "to",     "top",          "union",  "using",     "values", "when"};
static_assert(Sorted(kParenthesisKeywords));

// Functions that only read: aggregates, window functions, text, number and
// date functions and conversions of both dialects, and the case rules'
// folding functions that the translation writes for UPPER and LOWER.
// Everything else is refused, because some functions write even in a
// read-only transaction (large objects), change the session (set_config,
// advisory locks), reach files or other servers, or run text as a statement
// (query_to_xml).
// clang-format off
constexpr std::string_view kReadingFunctions[] = {
    "abs", "acos", "age", "ascii", "asin", "atan", "atan2", "avg", "bit", "bool_and", "bool_or",
    "btrim", "cast", "ceil", "ceiling", "char", "char_length", "character", "character_length",
    "charindex", "choose", "coalesce", "concat", "concat_ws", "convert", "cos", "cot", "count",
    "count_big", "cume_dist", "current_time", "current_timestamp", "date", "date_part",
    "date_trunc", "dateadd", "datediff", "datefromparts", "datename", "datepart", "datetime",
    "datetime2", "datetimeoffset", "day", "decimal", "degrees", "dense_rank", "difference", "div",
    "eomonth", "every", "exp", "extract", "first_value", "float", "floor", "generate_series",
    "getdate", "getutcdate", "greatest", "group_concat", "grouping", "hour", "ifnull", "iif",
    "initcap", "instr", "interval", "isdate", "isnull", "isnumeric", "julianday", "justify_days",
    "justify_hours", "justify_interval", "kx4_key", "kx4_lower", "kx4_upper", "lag", "last_value",
    "lead", "least", "left", "len",
    "length", "ln", "localtime", "localtimestamp", "log", "log10", "lower", "lpad", "ltrim",
    "make_date", "make_interval", "make_time", "make_timestamp", "max", "min", "minute", "mod",
    "mode", "month", "nchar", "now", "nth_value", "ntile", "nullif", "numeric", "nvarchar",
    "octet_length", "overlay", "patindex", "percent_rank", "percentile_cont", "percentile_disc",
    "pi", "position", "pow", "power", "printf", "radians", "rank", "real", "repeat", "replace",
    "replicate", "reverse", "right", "round", "row_number", "rpad", "rtrim", "second", "sign",
    "sin", "soundex", "space", "split_part", "sqrt", "square", "stddev", "stddev_pop",
    "stddev_samp", "stdev", "stdevp", "str", "strftime", "string_agg", "strpos", "stuff", "substr",
    "substring", "sum", "sysdatetime", "tan", "time", "timestamp", "timestamptz", "to_char",
    "to_date", "to_number", "to_timestamp", "total", "translate", "trim", "trunc", "try_cast",
    "try_convert", "typeof", "unicode", "unixepoch", "unnest", "upper", "var", "var_pop",
    "var_samp", "varchar", "variance", "varp", "varying", "week", "year"};
// clang-format on
static_assert(Sorted(kReadingFunctions));

// Refuses text that the engines could cut into statements differently.
bool CheckQuoting(const std::vector<Token>& tokens, std::string& reason) {
  for (const Token& token : tokens) {
    if (token.open) {
      reason = token.kind == TokenKind::kComment ? "The statement has an unterminated comment."
               : token.kind == TokenKind::kQuotedName
                   ? "The statement has an unterminated quoted name."
                   : "The statement has an unterminated literal.";
      return false;
    }
    // Some engines nest block comments and some do not.
    if (token.kind == TokenKind::kComment && token.text.starts_with("/*") &&
        token.text.substr(2, token.text.size() - 4).find("/*") != std::string_view::npos) {
      reason = "The statement has a nested comment.";
      return false;
    }
    // An @ name is a variable to one engine and an operator before a call to
    // another.
    if (token.kind == TokenKind::kVariable) {
      reason = "The statement uses a variable.";
      return false;
    }
  }
  return true;
}

size_t Previous(const std::vector<const Token*>& words, size_t i) {
  return i == 0 ? words.size() : i - 1;
}

// The index of the ")" closing the "(" at `open`, or the end.
size_t Closing(const std::vector<const Token*>& words, size_t open) {
  int depth = 0;
  for (size_t k = open; k < words.size(); ++k) {
    if (words[k]->kind == TokenKind::kOpen)
      ++depth;
    else if (words[k]->kind == TokenKind::kClose && --depth == 0)
      return k;
  }
  return words.size();
}

// A common table expression's head: name (columns) AS [NOT] [MATERIALIZED] (.
bool IsTableExpressionHead(const std::vector<const Token*>& words, size_t open) {
  size_t k = Closing(words, open) + 1;
  if (k >= words.size() || !WordIs(*words[k], "AS"))
    return false;
  ++k;
  if (k < words.size() && WordIs(*words[k], "NOT"))
    ++k;
  if (k < words.size() && WordIs(*words[k], "MATERIALIZED"))
    ++k;
  return k < words.size() && words[k]->kind == TokenKind::kOpen;
}

// Every name followed by "(" is taken for a function call and must be a
// reading function, except where the grammar allows no call: after AS or
// "::" (an alias or a type), after ")" or a quoted name (an alias's column
// list), a keyword, or the head of a common table expression.
bool CheckCalls(const std::vector<Token>& tokens, std::string& reason) {
  std::vector<const Token*> words;
  std::vector<size_t> positions;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (Significant(tokens[i])) {
      words.push_back(&tokens[i]);
      positions.push_back(i);
    }
  }
  for (size_t w = 0; w < words.size(); ++w) {
    const Token& token = *words[w];
    if (token.kind != TokenKind::kWord && token.kind != TokenKind::kQuotedName)
      continue;
    std::string name;
    size_t after = 0;
    if (!ResolveName(tokens, positions[w], name, after)) {
      reason = "The statement has a name the server would not accept.";
      return false;
    }
    // Past a UESCAPE clause, if any.
    size_t open = w + 1;
    while (open < words.size() && positions[open] < after)
      ++open;
    if (open >= words.size() || words[open]->kind != TokenKind::kOpen)
      continue;
    const size_t before = Previous(words, w);
    if (before < words.size()) {
      const Token& prev = *words[before];
      if (WordIs(prev, "AS") || prev.text == "::" || prev.kind == TokenKind::kClose ||
          prev.kind == TokenKind::kQuotedName)
        continue;
      if (prev.kind == TokenKind::kDot) {
        // Only the system catalogue may qualify a call, and only once.
        std::string schema;
        size_t unused = 0;
        const size_t qualifier = Previous(words, before);
        const size_t further = qualifier < words.size() ? Previous(words, qualifier) : words.size();
        if (qualifier >= words.size() ||
            !ResolveName(tokens, positions[qualifier], schema, unused) || schema != "pg_catalog" ||
            (further < words.size() && words[further]->kind == TokenKind::kDot)) {
          reason = "The statement calls a function outside the system catalogue.";
          return false;
        }
      }
    }
    if (token.kind == TokenKind::kWord && Contains(kParenthesisKeywords, name))
      continue;
    if (IsTableExpressionHead(words, open))
      continue;
    if (!Contains(kReadingFunctions, name)) {
      reason = "The statement calls " + name + ", which is not a reading function.";
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsPlainIdentifier(std::string_view text) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos)
    return IsPlainName(text);
  return IsPlainName(text.substr(0, dot)) && IsPlainName(text.substr(dot + 1));
}

bool IsSingleReadStatement(std::string_view sql, std::string& reason) {
  std::vector<Token> tokens;
  ado::dialect::Tokenize(sql, tokens);
  if (!CheckQuoting(tokens, reason))
    return false;
  std::vector<const Token*> words;
  for (const Token& token : tokens) {
    if (Significant(token))
      words.push_back(&token);
  }
  // One trailing ";" is allowed; anything after a ";" is a second statement.
  if (!words.empty() && words.back()->kind == TokenKind::kSemicolon)
    words.pop_back();
  for (const Token* token : words) {
    if (token->kind == TokenKind::kSemicolon) {
      reason = "Only one statement can be run at a time.";
      return false;
    }
  }
  if (words.empty() || (!WordIs(*words.front(), "SELECT") && !WordIs(*words.front(), "WITH"))) {
    reason = "Only a SELECT statement can be run.";
    return false;
  }
  // A statement begun without a ";" ("SELECT 1 SELECT 2", or after a stray
  // ")") would run as a second one.
  std::vector<ado::dialect::Piece> pieces;
  ado::dialect::SplitBatch(tokens, pieces);
  if (pieces.size() > 1) {
    reason = "Only one statement can be run at a time.";
    return false;
  }
  int depth = 0;
  bool main_verb_seen = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const Token& token = *words[i];
    if (token.kind == TokenKind::kOpen) {
      ++depth;
    } else if (token.kind == TokenKind::kClose) {
      if (--depth < 0) {
        reason = "The statement's parentheses do not match.";
        return false;
      }
    } else if (token.kind == TokenKind::kWord) {
      const std::string word = AsciiLower(token.text);
      if (Contains(kWritingWords, word)) {
        reason = word == "into" ? "SELECT ... INTO cannot be run: it creates a table."
                                : "The statement contains " + std::string(token.text) + ".";
        return false;
      }
      // FOR SHARE, FOR KEY SHARE, FOR NO KEY UPDATE: row locks.
      if (word == "for" && i + 1 < words.size() &&
          (WordIs(*words[i + 1], "SHARE") || WordIs(*words[i + 1], "KEY") ||
           WordIs(*words[i + 1], "NO"))) {
        reason = "The statement locks rows.";
        return false;
      }
      // The main statement of a WITH is the first verb outside the
      // parentheses of its common table expressions.
      if (word == "select" && depth <= 0)
        main_verb_seen = true;
    }
  }
  if (!main_verb_seen) {
    reason = "Only a SELECT statement can be run.";
    return false;
  }
  return CheckCalls(tokens, reason);
}

}  // namespace kx4
