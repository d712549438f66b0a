// The SQL Server dialect the library writes, taken apart and rewritten for
// the engine that runs it.  A lossless tokenizer, a splitter for batches
// written without separators, and a translator that rewrites the dialect's
// idioms through engine hooks.  Literals and comments are never changed.
#ifndef KX4DATA_DATAACCESS_DIALECT_DIALECT_H_
#define KX4DATA_DATAACCESS_DIALECT_DIALECT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dataaccess/dialect/Catalogue.h"

namespace kx4::ado::dialect {

enum class TokenKind : uint8_t {
  kSpace,       // blanks, tabs, line breaks
  kComment,     // -- to the end of the line, /* ... */ (nesting)
  kWord,        // keywords and plain names
  kQuotedName,  // [name], "name" or U&"name"
  kString,      // 'text' with '' inside; E'..', U&'..', $tag$..$tag$
  kNString,     // N'text'
  kNumber,      // 12, 1.5, .5, 1e3
  kMarker,      // ?
  kVariable,    // @name, @@IDENTITY
  kOperator,    // = <> <= >= != + - * / % || and the like
  kOpen,        // (
  kClose,       // )
  kComma,
  kDot,
  kSemicolon,
  kOther,  // anything else, one character
};

struct Token {
  TokenKind kind;
  std::string_view text;
  bool open = false;  // a literal, quoted name or comment missing its end
};

// Appends the tokens of `sql` to `out`; their texts concatenate to `sql`.
// An unterminated literal or comment runs to the end of the text and is
// marked open.
void Tokenize(std::string_view sql, std::vector<Token>& out);

// Case-insensitive comparison of a word token with an upper-case keyword.
bool WordIs(const Token& token, std::string_view upper_keyword);
inline bool Significant(const Token& t) {
  return t.kind != TokenKind::kSpace && t.kind != TokenKind::kComment;
}

enum class StatementKind : uint8_t {
  kSelect,
  kInsert,
  kUpdate,
  kDelete,
  kNoCount,    // SET NOCOUNT ON|OFF: nothing to run
  kSetOption,  // any other SET option, passed on unchanged
  kOther,      // anything else (DDL, ...), runs to the next ";"
};

inline bool ChangesData(StatementKind k) {
  return k == StatementKind::kInsert || k == StatementKind::kUpdate || k == StatementKind::kDelete;
}

// One statement of a batch: tokens [begin, end).
struct Piece {
  size_t begin;
  size_t end;
  StatementKind kind;
};

// Splits a batch at ";" and where a new statement begins without one
// ("... VALUES (...) SELECT @@IDENTITY AS NewId SET NOCOUNT OFF").
void SplitBatch(const std::vector<Token>& tokens, std::vector<Piece>& out);

class Analyzer;
class Translator;

// Changes to single tokens of a batch: text written before a token, instead
// of it, or after it.  Texts before one token are written in the order they
// were added, texts after it in the reverse order, so that an expression
// wrapped first ends up outermost.  A "?" marker is never replaced.
class Edits {
 public:
  void Clear() { edits_.clear(); }
  bool Empty() const { return edits_.empty(); }
  void Before(size_t token, std::string text) { Push(token, kBefore, std::move(text)); }
  void Replace(size_t token, std::string text) { Push(token, kReplace, std::move(text)); }
  void After(size_t token, std::string text) { Push(token, kAfter, std::move(text)); }

  // For the translator, once all edits are in: sorts them by token.
  void Seal();
  // Writes what goes before token `i`, and its replacement when it has one;
  // true when it was replaced.
  bool Open(size_t i, std::string& out) const;
  // Writes what goes after token `i`.
  void Close(size_t i, std::string& out) const;

 private:
  enum Kind : uint8_t { kBefore, kReplace, kAfter };
  struct Edit {
    uint32_t token;
    uint32_t order;
    Kind kind;
    std::string text;
  };
  void Push(size_t token, Kind kind, std::string text);
  std::pair<const Edit*, const Edit*> At(size_t i) const;

  std::vector<Edit> edits_;
};

// A result column the engine sends unfolded and the client folds.
enum class ResultFold : uint8_t { kNone, kUpper, kLower };

// The kinds of a SELECT's result columns as typing found them; empty when
// the statement was not typed.  A star item (*, T.*) stands for any number
// of columns: only the items before the first and after the last one map to
// positions.
struct ResultKinds {
  std::vector<ValueKind> items;
  int first_star = -1;
  int last_star = -1;
  // Per column, the folding left to the client (empty: none); never with a
  // star item.
  std::vector<ResultFold> folds;

  // The kind of column `index` of `count`, kUnknown when not known.
  ValueKind Column(size_t index, size_t count) const;
};

// The engine's spellings.  Defaults keep the SQL Server text.
class Hooks {
 public:
  virtual ~Hooks() = default;
  // The `index`th "?" of the batch, 0-based.
  virtual void Placeholder(int index, std::string& out) const;
  virtual void Identity(std::string& out) const;     // @@IDENTITY
  virtual void CurrentTime(std::string& out) const;  // GETDATE()
  // CAST(<expr> AS smalldatetime); `expr` is already translated.
  virtual void CastSmallDateTime(std::string_view expr, std::string& out) const;
  // CAST(<expr> AS datetime), kept to the second.
  virtual void CastDateTime(std::string_view expr, std::string& out) const;
  // The value an INSERT ... VALUES or UPDATE ... SET writes into `column` of
  // `table`; `expr` is already translated.  The default copies it.
  virtual void AssignedValue(std::string_view table, std::string_view column, std::string_view expr,
                             std::string& out) const;
  // A last word on any token: return how many tokens from `i` were written
  // to `out`, or 0 to let the translator handle token `i`.
  virtual size_t Rewrite(Translator& translator, size_t i, size_t end, std::string& out) const;

  // The stored columns' kinds; without them (the default) nothing is typed.
  virtual const Catalogue* Columns() const;
  // The edits that give a typed statement its meaning on this engine.
  virtual void RenderTyped(const Analyzer& analysis, Edits& edits) const;
  // Whether RenderTyped leaves the result columns an analysis marks as
  // shown folded (Output::shown) for the client to fold.
  virtual bool FoldsOnClient() const;
};

struct Statement {
  std::string sql;
  StatementKind kind;
  int first_param;  // index of its first "?" in the batch
  int param_count;
  ResultKinds columns;
};

class Translator {
 public:
  explicit Translator(const Hooks& hooks);
  ~Translator();

  // Translates `batch` into runnable statements (SET NOCOUNT dropped).
  // `params` are the kinds of the values bound to the batch's markers, in
  // order.  The result stays valid until the next call.  Translations are
  // kept for the batches seen last, until the hooks' catalogue changes.
  const std::vector<Statement>& Translate(std::string_view batch,
                                          std::span<const ValueKind> params = {});
  int ParamCount() const { return current_ ? current_->params : param_index_; }

  // For hooks: the tokens of the batch being (or last) translated, and the
  // generic translation of tokens [begin, end) appended to `out`.
  const std::vector<Token>& Tokens() const { return current_ ? current_->tokens : tokens_; }
  void EmitRange(size_t begin, size_t end, std::string& out);
  // Index of the ")" matching the "(" at `open`, or `end` when unmatched.
  size_t MatchingClose(size_t open, size_t end) const;
  // Next significant token at or after `i`, or `end`.
  size_t NextSignificant(size_t i, size_t end) const;

 private:
  void EmitInsert(const Piece& piece, std::string& out);
  void EmitUpdate(const Piece& piece, std::string& out);
  void EmitAssigned(std::string_view table, std::string_view column, size_t begin, size_t end,
                    std::string& out);

  struct Translated {
    std::string text;  // the batch; the tokens point into it
    std::vector<Token> tokens;
    std::vector<Statement> statements;
    int params = 0;
  };
  void TranslateAnew(std::string_view batch, std::span<const ValueKind> params);

  const Hooks& hooks_;
  std::unique_ptr<Analyzer> analyzer_;
  std::unordered_map<std::string, Translated> cache_;  // by batch and parameter kinds
  const Translated* current_ = nullptr;
  const Catalogue* cache_catalogue_ = nullptr;
  uint64_t cache_version_ = 0;
  std::string key_;
  Edits edits_;
  std::vector<Token> tokens_;
  std::vector<Piece> pieces_;
  std::vector<Statement> statements_;
  std::string scratch_;
  int param_index_ = 0;
};

// The body of a quoted name without its quotes (escapes left as written),
// or the word itself.
std::string_view NameText(const Token& token);

// The name that the word or quoted name at `tokens[i]` stands for, as
// PostgreSQL reads it: words and [names] in lower case (ASCII), "names" exact
// with doubled quotes undone, U&"names" decoded, honouring a UESCAPE clause
// after them.  `next` receives the index after the name (and its clause).
// False for anything else and for escapes the server would refuse.
bool ResolveName(const std::vector<Token>& tokens, size_t i, std::string& name, size_t& next);

}  // namespace kx4::ado::dialect

#endif  // KX4DATA_DATAACCESS_DIALECT_DIALECT_H_
