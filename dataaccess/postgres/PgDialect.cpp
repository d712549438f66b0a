#include "dataaccess/postgres/PgDialect.h"

#include <kx4data/DateTime.h>

#include <algorithm>
#include <optional>

#include "dataaccess/dialect/Analyzer.h"
#include "dataaccess/dialect/LikeRange.h"
#include "dataaccess/postgres/PgErrors.h"
#include "dataaccess/postgres/PgValues.h"
#include "variant/Utf8.h"

namespace kx4::ado::pg {

using dialect::Significant;
using dialect::Token;
using dialect::TokenKind;
using dialect::WordIs;

namespace {

// ASCII only, as PostgreSQL folds names in a UTF-8 database; the host's
// locale plays no part.
bool IsUpper(char c) {
  return c >= 'A' && c <= 'Z';
}

// The content of a literal token, quotes and N prefix taken off; doubled
// quotes stay doubled.
std::string_view LiteralContent(const Token& token) {
  size_t skip = token.kind == TokenKind::kNString ? 2 : 1;
  if (token.text.size() < skip + 1 || token.text.back() != '\'') {
    return {};
  }
  return token.text.substr(skip, token.text.size() - skip - 1);
}

size_t PreviousSignificant(const std::vector<Token>& tokens, size_t i) {
  while (i > 0) {
    --i;
    if (Significant(tokens[i])) {
      return i;
    }
  }
  return SIZE_MAX;
}

// [Name] names what Name names without brackets, reserved words included
// ([User]): quoted in the lower case PostgreSQL folds to.
void AppendBracketName(const Token& token, std::string& out) {
  out += Quoted(AsciiLower(dialect::NameText(token)), '"');
}

// A column as the translated statement names it.
std::string ColumnText(const std::vector<Token>& tokens, const dialect::Node& column) {
  std::string text;
  for (size_t k = column.first; k <= column.last; ++k) {
    const Token& t = tokens[k];
    if (t.kind == TokenKind::kQuotedName && t.text.front() == '[') {
      AppendBracketName(t, text);
    } else if (Significant(t)) {
      text += t.text;
    }
  }
  return text;
}

// The dialect's own text literals, '...' and N'...', whole: the only forms
// LiteralContent reads.  E'', U&'' and dollar quotes are PostgreSQL's and
// are left as written.
bool IsStringLiteral(const Token& token) {
  return !token.open && token.text.size() >= 2 && token.text.back() == '\'' &&
         (token.kind == TokenKind::kNString || token.text.front() == '\'');
}

// Whether the literal at `literal` is a LIKE pattern the translation
// rewrites: it follows LIKE, and any ESCAPE names one plain character in a
// literal, which `escape` is set to ('\0' without ESCAPE).
bool IsLikePattern(const dialect::Translator& translator, size_t literal, size_t end,
                   char& escape) {
  const std::vector<Token>& tokens = translator.Tokens();
  escape = '\0';
  if (!IsStringLiteral(tokens[literal])) {
    return false;
  }
  const size_t like = PreviousSignificant(tokens, literal);
  if (like == SIZE_MAX || !WordIs(tokens[like], "LIKE")) {
    return false;
  }
  const size_t word = translator.NextSignificant(literal + 1, end);
  if (word >= end || !WordIs(tokens[word], "ESCAPE")) {
    return true;
  }
  const size_t value = translator.NextSignificant(word + 1, end);
  if (value >= end || !IsStringLiteral(tokens[value])) {
    return false;
  }
  const std::string_view content = LiteralContent(tokens[value]);
  if (content.size() != 1 || static_cast<unsigned char>(content[0]) >= 0x80) {
    return false;
  }
  escape = content[0];
  return true;
}

// Whether the literal at `literal` names the escape character of a pattern
// the translation rewrote, whose escapes are then PostgreSQL's own.
bool IsRewrittenEscape(const dialect::Translator& translator, size_t literal, size_t end) {
  const std::vector<Token>& tokens = translator.Tokens();
  if (!IsStringLiteral(tokens[literal])) {
    return false;
  }
  const size_t word = PreviousSignificant(tokens, literal);
  if (word == SIZE_MAX || !WordIs(tokens[word], "ESCAPE")) {
    return false;
  }
  const size_t pattern = PreviousSignificant(tokens, word);
  char escape = '\0';
  return pattern != SIZE_MAX && IsLikePattern(translator, pattern, end, escape) && escape != '\0';
}

// PostgreSQL's name for a type of the other dialect, written as the target of
// CAST(... AS <type>).
std::optional<std::string_view> PostgresType(const Token& token) {
  if (WordIs(token, "MONEY") || WordIs(token, "SMALLMONEY"))
    return "currency";
  if (WordIs(token, "BIT") || WordIs(token, "TINYINT"))
    return "smallint";
  if (WordIs(token, "NVARCHAR"))
    return "varchar";
  if (WordIs(token, "NCHAR"))
    return "char";
  if (WordIs(token, "NTEXT"))
    return "text";
  if (WordIs(token, "UNIQUEIDENTIFIER"))
    return "uuid";
  if (WordIs(token, "DATETIME2"))
    return "timestamp";
  return std::nullopt;
}

bool IsCastTarget(const std::vector<Token>& tokens, size_t i) {
  size_t as = PreviousSignificant(tokens, i);
  if (as == SIZE_MAX || !WordIs(tokens[as], "AS")) {
    return false;
  }
  int depth = 0;
  for (size_t k = as; k-- > 0;) {
    if (tokens[k].kind == TokenKind::kClose) {
      ++depth;
    } else if (tokens[k].kind == TokenKind::kOpen) {
      if (depth-- == 0) {
        size_t word = PreviousSignificant(tokens, k);
        return word != SIZE_MAX && WordIs(tokens[word], "CAST");
      }
    }
  }
  return false;
}

[[noreturn]] void ReadOnlyRefusal(std::string_view what) {
  throw MakeError(kErrCommandFailed, kNativeReadOnly,
                  "The connection is read-only: " + std::string(what) + " is not allowed on it.",
                  "25006");
}

bool NamesReadOnlySetting(const std::vector<Token>& tokens, size_t i) {
  std::string name;
  size_t next = 0;
  if (tokens[i].kind != TokenKind::kWord && tokens[i].kind != TokenKind::kQuotedName) {
    return false;
  }
  if (!dialect::ResolveName(tokens, i, name, next)) {
    return true;  // a name the server refuses anyway
  }
  name = AsciiLower(name);
  return name == "default_transaction_read_only" || name == "transaction_read_only" ||
         name == "set_config";
}

// The read-only state of a session is set when it connects and held by a
// read-only transaction around every batch; a statement that could undo it
// is refused before it reaches the server.
void CheckReadOnly(std::string_view statement) {
  std::vector<Token> tokens;
  dialect::Tokenize(statement, tokens);
  std::vector<const Token*> words;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (NamesReadOnlySetting(tokens, i)) {
      ReadOnlyRefusal("changing the read-only setting");
    }
    if (Significant(tokens[i])) {
      words.push_back(&tokens[i]);
    }
  }
  if (words.empty()) {
    return;
  }
  const Token& first = *words.front();
  for (const char* control : {"BEGIN", "START", "COMMIT", "END", "ROLLBACK", "ABORT", "SAVEPOINT",
                              "RELEASE", "PREPARE", "DO", "CALL"}) {
    if (WordIs(first, control)) {
      ReadOnlyRefusal(AsciiLower(first.text));
    }
  }
  const bool setting = WordIs(first, "SET") || WordIs(first, "RESET");
  for (const Token* word : words) {
    if (setting &&
        (WordIs(*word, "TRANSACTION") || WordIs(*word, "CHARACTERISTICS") || WordIs(*word, "ALL") ||
         WordIs(*word, "SESSION_AUTHORIZATION") || WordIs(*word, "ROLE"))) {
      ReadOnlyRefusal("changing the session's transaction mode or role");
    }
  }
}

}  // namespace

std::string LikePattern(std::string_view content, bool& similar, char escape) {
  // The statement's own escape character takes the next character
  // literally; an escape at the end stands for itself.
  const auto escapes = [&](size_t i) {
    return escape != '\0' && content[i] == escape && i + 1 < content.size();
  };
  // A class of several characters ("[a-c]", "[^x]") has no LIKE form.
  similar = false;
  for (size_t i = 0; i < content.size(); ++i) {
    if (escapes(i)) {
      ++i;
      continue;
    }
    if (content[i] != '[') {
      continue;
    }
    if (i + 2 < content.size() && content[i + 2] == ']') {
      i += 2;
    } else if (content.find(']', i + 2) != std::string_view::npos) {
      similar = true;
      break;
    }
  }
  constexpr std::string_view kLikeSpecial = "%_\\";
  constexpr std::string_view kSimilarSpecial = "%_\\|*+?{}()[]^.";
  std::string out;
  out.reserve(content.size() + 8);
  for (size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (escapes(i)) {
      const char literal = content[++i];
      if ((similar ? kSimilarSpecial : kLikeSpecial).find(literal) != std::string_view::npos) {
        out += '\\';
      } else if (literal == '\'') {
        out += literal;  // '' stands for one quote
        ++i;
      }
      out += literal;
      continue;
    }
    if (c == '[' && i + 2 < content.size() && content[i + 2] == ']') {
      // "[_]", "[[]", "[%]": that one character, literally.
      const char literal = content[i + 1];
      if ((similar ? kSimilarSpecial : kLikeSpecial).find(literal) != std::string_view::npos) {
        out += '\\';
      }
      out += literal;
      i += 2;
      continue;
    }
    if (c == '\\') {
      out += "\\\\";  // data, where PostgreSQL reads its escape character
      continue;
    }
    if (similar) {
      if (c == '[') {
        size_t close = content.find(']', i + 1);
        if (close != std::string_view::npos) {
          for (char k : content.substr(i, close - i + 1)) {
            out += k == '\\' ? std::string_view("\\\\") : std::string_view(&k, 1);
          }
          i = close;
          continue;
        }
      }
      if (std::string_view("|*+?{}()[]").find(c) != std::string_view::npos) {
        out += '\\';
      }
    }
    out += c;
  }
  return out;
}

std::string SmallDateTimeLiteral(std::string_view content) {
  if (content.find('\'') != std::string_view::npos) {
    return {};
  }
  std::optional<DateTime> parsed = DateTime::Parse(content);
  if (!parsed) {
    return {};
  }
  // To the minute; 30 seconds and more round up.
  int64_t seconds = parsed->Seconds();
  int64_t remainder = ((seconds % 60) + 60) % 60;
  seconds += remainder >= 30 ? 60 - remainder : -remainder;
  return "TIMESTAMP '" + TimestampText(seconds) + "'";
}

class PgTranslator::Hooks final : public dialect::Hooks {
 public:
  void Placeholder(int index, std::string& out) const override {
    if (static_cast<size_t>(index) < params.size() &&
        params[static_cast<size_t>(index)] == dialect::ValueKind::kNull) {
      out += "NULL";
      return;
    }
    out += '$';
    out += std::to_string(index + 1);
  }
  // lastval() fails before the session's first identity; the schema's
  // kx4_identity() gives NULL then.
  void Identity(std::string& out) const override { out += "kx4_identity()"; }
  // The server's local clock, to the second like the column it fills.
  void CurrentTime(std::string& out) const override { out += "LOCALTIMESTAMP(0)"; }
  void CastSmallDateTime(std::string_view expr, std::string& out) const override {
    std::vector<Token> tokens;
    dialect::Tokenize(expr, tokens);
    if (tokens.size() == 1 && tokens[0].kind == TokenKind::kString) {
      std::string literal = SmallDateTimeLiteral(LiteralContent(tokens[0]));
      if (!literal.empty()) {
        out += literal;
        return;
      }
    }
    out += "date_trunc('minute', CAST(";
    out += expr;
    out += " AS timestamp) + interval '30 seconds')";
  }
  void CastDateTime(std::string_view expr, std::string& out) const override {
    out += "CAST(";
    out += expr;
    out += " AS timestamp(0))";
  }

  const dialect::Catalogue* Columns() const override { return catalogue_; }

  void RenderTyped(const dialect::Analyzer& analysis, dialect::Edits& edits) const override {
    // A prefix LIKE on a name, which no planner sees through kx4_upper, is
    // served by the index on its key.  First, so that it encloses the folds.
    for (const dialect::LikeRange& range : dialect::LikeRanges(analysis)) {
      if (range.column->type != dialect::ValueKind::kTextCi) {
        continue;
      }
      const std::string key = "kx4_key(" + ColumnText(analysis.Tokens(), *range.column) + ")";
      edits.Before(range.like->first,
                   "(" + key + " >= " + range.low + " AND " + key + " < " + range.high + " AND ");
      edits.After(range.like->last, ")");
    }
    const std::vector<dialect::Node>& nodes = analysis.Nodes();
    // The columns a grouped name stands for, named after it.
    std::vector<bool> unnamed(nodes.size(), false);
    for (const dialect::Output& o : analysis.Outputs()) {
      if (o.node >= 0 && !o.named) {
        unnamed[static_cast<size_t>(o.node)] = true;
      }
    }
    // Parents first, so that an expression wrapped first ends up outermost.
    for (size_t i = nodes.size(); i-- > 0;) {
      RenderMoney(analysis, i, edits);
      RenderCaseRules(analysis, i, unnamed[i], edits);
    }
    for (const dialect::Output& o : analysis.Outputs()) {
      if (o.shown != dialect::ResultFold::kNone) {
        // The client folds it: the column goes as it is stored.
        const dialect::Node& call = nodes[static_cast<size_t>(o.node)];
        size_t open = call.op + 1;
        while (!Significant(analysis.Tokens()[open])) {
          ++open;
        }
        edits.Replace(call.op, "");
        edits.Replace(open, "");
        edits.Replace(call.last, "");
      }
    }
    for (const dialect::DistinctList& d : analysis.Distincts()) {
      RenderDistinct(analysis, d, edits);
    }
  }

  bool FoldsOnClient() const override { return true; }

  void SetCatalogue(const dialect::Catalogue* catalogue) {
    catalogue_ = catalogue ? catalogue : &no_tables_;
  }

  size_t Rewrite(dialect::Translator& translator, size_t i, size_t end,
                 std::string& out) const override {
    const std::vector<Token>& tokens = translator.Tokens();
    const Token& token = tokens[i];
    if (token.kind == TokenKind::kQuotedName && token.text.front() == '[') {
      AppendBracketName(token, out);
      return 1;
    }
    if (char escape = '\0'; IsLikePattern(translator, i, end, escape)) {
      bool similar = false;
      out += '\'';
      out += LikePattern(LiteralContent(token), similar, escape);
      out += '\'';
      return 1;
    }
    if (IsRewrittenEscape(translator, i, end)) {
      out += "'\\'";
      return 1;
    }
    if (token.kind != TokenKind::kWord) {
      return 0;
    }
    if (WordIs(token, "LIKE")) {
      // A bracket class of several characters needs SIMILAR TO.
      const size_t literal = translator.NextSignificant(i + 1, end);
      bool similar = false;
      if (char escape = '\0'; literal < end && IsLikePattern(translator, literal, end, escape)) {
        LikePattern(LiteralContent(tokens[literal]), similar, escape);
      }
      if (!similar) {
        return 0;
      }
      out += "SIMILAR TO";
      return 1;
    }
    // The library's case table instead of the server's locale.
    if (WordIs(token, "UPPER") || WordIs(token, "LOWER")) {
      const size_t open = translator.NextSignificant(i + 1, end);
      const size_t before = PreviousSignificant(tokens, i);
      if (open < end && tokens[open].kind == TokenKind::kOpen &&
          (before == SIZE_MAX || tokens[before].kind != TokenKind::kDot)) {
        out += WordIs(token, "UPPER") ? "kx4_upper" : "kx4_lower";
        return 1;
      }
    }
    if (auto type = PostgresType(token); type && IsCastTarget(tokens, i)) {
      out += *type;
      return 1;
    }
    return 0;
  }

  // The kinds of the values bound to the batch being translated.
  std::span<const dialect::ValueKind> params;

 private:
  // PostgreSQL computes on money exactly by itself; its results are cast
  // back to money, so that they come back with four places as money, round
  // as the other engine rounds, and overflow where it overflows.
  static void RenderMoney(const dialect::Analyzer& analysis, size_t i, dialect::Edits& edits) {
    using dialect::NodeKind;
    const dialect::Node& n = analysis.Nodes()[i];
    const std::vector<Token>& tokens = analysis.Tokens();
    if (n.kind == NodeKind::kArithmetic && n.concat) {
      edits.Replace(n.op, "||");
    }
    bool wrap = n.use == dialect::Use::kMoney && !n.cast_operand;
    if (n.type == dialect::ValueKind::kMoney) {
      switch (n.kind) {
        case NodeKind::kArithmetic:
        case NodeKind::kUnary:
        case NodeKind::kAggregate:
        case NodeKind::kCall:
        case NodeKind::kCase:
          wrap = true;
          break;
        case NodeKind::kParameter:
          wrap = analysis.IsResult(static_cast<int32_t>(i));
          break;
        default:
          break;
      }
    }
    if (wrap) {
      edits.Before(n.first, "CAST(");
      edits.After(n.last, " AS currency)");
    } else if (n.use == dialect::Use::kCompareMoney &&
               (n.type == dialect::ValueKind::kText || n.type == dialect::ValueKind::kTextCi)) {
      // Text meets money as the number it spells; a text parameter goes
      // as text, which the server would not convert by itself.
      edits.Before(n.first, "CAST(");
      edits.After(n.last, " AS numeric)");
    }
    // ROUND(x, n, f): PostgreSQL's round has no third argument; a
    // non-zero f truncates.
    if (n.kind == NodeKind::kCall && n.child_count == 3 && WordIs(tokens[n.op], "ROUND")) {
      const dialect::Node& f = analysis.Child(n, 2);
      const Token& flag = tokens[f.op];
      if (f.kind == NodeKind::kLiteral && flag.kind == TokenKind::kNumber) {
        if (flag.text.find_first_of("123456789") != std::string_view::npos) {
          edits.Replace(n.op, "trunc");
        }
        edits.Replace(analysis.PreviousSignificant(f.first), "");
        edits.Replace(f.op, "");
      }
    }
  }

  // Names compare, sort and group by kx4_key, and LIKE upper-cases both
  // sides, as the embedded engine's collation and LIKE do.
  static void RenderCaseRules(const dialect::Analyzer& analysis, size_t i, bool unnamed,
                              dialect::Edits& edits) {
    const dialect::Node& n = analysis.Nodes()[i];
    const auto wrap = [&](std::string_view function) {
      edits.Before(n.first, std::string(function) + "(");
      edits.After(n.last, ")");
    };
    switch (n.fold) {
      case dialect::Fold::kKey:
        if (const int32_t column =
                n.output >= 0 ? analysis.ColumnOf(
                                    analysis.Outputs()[static_cast<size_t>(n.output)].node, false)
                              : -1;
            column >= 0) {
          // A column of the select list, by its name or position.
          edits.Replace(n.first, "kx4_key(" +
                                     ColumnText(analysis.Tokens(),
                                                analysis.Nodes()[static_cast<size_t>(column)]) +
                                     ")");
        } else if (analysis.IsCallOf(n, "UPPER")) {
          edits.Replace(n.op, "kx4_key");  // the key of UPPER(x) is the key of x
        } else {
          wrap("kx4_key");
        }
        break;
      case dialect::Fold::kKeys:
        edits.After(n.first, "SELECT kx4_key(kx4_in.v) FROM (");
        edits.Before(n.last, ") kx4_in(v)");
        break;
      case dialect::Fold::kUpper:
        if (!analysis.IsCallOf(n, "UPPER")) {
          wrap("kx4_upper");
        }
        break;
      case dialect::Fold::kAny: {
        std::string close = ")";
        if (unnamed) {
          close += " AS " + Quoted(dialect::NameText(analysis.Tokens()[n.op]), '"');
        }
        edits.Before(n.first, "min(");
        edits.After(n.last, close);
        break;
      }
      case dialect::Fold::kNone:
        break;
    }
  }

  // SELECT DISTINCT keeps one row per key of each name it selects:
  // DISTINCT ON the keys and the positions of the other columns.
  static void RenderDistinct(const dialect::Analyzer& analysis, const dialect::DistinctList& d,
                             dialect::Edits& edits) {
    std::string on;
    bool keys = false;
    for (uint32_t k = 0; k < d.count; ++k) {
      const dialect::Output& o = analysis.Outputs()[d.first + k];
      if (o.star || o.node < 0) {
        return;
      }
      on += k == 0 ? "" : ", ";
      if (o.kind != dialect::ValueKind::kTextCi) {
        on += std::to_string(k + 1);
        continue;
      }
      const int32_t column = analysis.ColumnOf(o.node, false);
      if (column < 0) {
        return;  // CAST(Name AS ...): as written
      }
      on += "kx4_key(" +
            ColumnText(analysis.Tokens(), analysis.Nodes()[static_cast<size_t>(column)]) + ")";
      keys = true;
    }
    if (keys) {
      edits.Replace(d.token, "DISTINCT ON (" + on + ")");
    }
  }

  dialect::Catalogue no_tables_;
  const dialect::Catalogue* catalogue_ = &no_tables_;
};

PgTranslator::PgTranslator() : hooks_(std::make_unique<Hooks>()), translator_(*hooks_) {}

PgTranslator::~PgTranslator() = default;

void PgTranslator::SetCatalogue(const dialect::Catalogue* catalogue) {
  hooks_->SetCatalogue(catalogue);
}

const PgBatch& PgTranslator::Translate(std::string_view batch, bool read_only,
                                       std::span<const dialect::ValueKind> params) {
  batch_.statements.clear();
  batch_.spellings.clear();
  // An expression column is named after its function: UPPER(x) keeps the
  // name it had before the case rules renamed the function.
  batch_.spellings.emplace("kx4_upper", "upper");
  batch_.spellings.emplace("kx4_lower", "lower");
  batch_.leaves_state = false;
  hooks_->params = params;
  const std::vector<dialect::Statement>& statements = translator_.Translate(batch, params);
  hooks_->params = {};
  for (const dialect::Statement& statement : statements) {
    if (read_only) {
      CheckReadOnly(statement.sql);
    }
    batch_.leaves_state |=
        statement.kind != dialect::StatementKind::kSelect && !dialect::ChangesData(statement.kind);
    PgStatement translated;
    translated.text = statement.sql;
    translated.first_param = statement.first_param;
    translated.param_count = statement.param_count;
    translated.schema = statement.kind == dialect::StatementKind::kOther;
    translated.folds = statement.columns.folds;
    batch_.statements.push_back(std::move(translated));
  }
  // Names as the batch spelt them, for the result columns.
  const std::vector<Token>& tokens = translator_.Tokens();
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    std::string_view name;
    if (token.kind == TokenKind::kWord) {
      size_t next = translator_.NextSignificant(i + 1, tokens.size());
      if (next < tokens.size() && tokens[next].kind == TokenKind::kOpen) {
        continue;  // a function
      }
      name = token.text;
    } else if (token.kind == TokenKind::kQuotedName && token.text.front() == '[') {
      name = dialect::NameText(token);
    } else {
      continue;
    }
    if (std::any_of(name.begin(), name.end(), IsUpper)) {
      batch_.spellings.try_emplace(AsciiLower(name), std::string(name));
    }
  }
  return batch_;
}

}  // namespace kx4::ado::pg
