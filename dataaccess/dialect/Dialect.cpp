#include "dataaccess/dialect/Dialect.h"

#include <algorithm>

#include "dataaccess/Engine.h"
#include "dataaccess/dialect/Analyzer.h"
#include "variant/Utf8.h"

namespace kx4::ado::dialect {
namespace {

bool IsWordStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' || c >= 0x80;
}

bool IsWordChar(unsigned char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '@';
}

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// End of a literal opened by `quote` at `i` (the quote itself), doubled
// quotes standing for one; with `backslash`, a backslash also escapes the
// character after it.  `open` tells a literal that ran to the end.
template <bool kBackslash = false>
size_t QuotedEnd(std::string_view s, size_t i, char quote, bool& open) {
  ++i;
  while (i < s.size()) {
    if (kBackslash && s[i] == '\\') {
      i += 2;
      continue;
    }
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  open = true;
  return s.size();
}

// N'..', E'..' (backslash escapes), U&'..' and U&".." at `i`: moves `i` past
// the literal and returns its kind, or returns kWord with `i` unmoved.
TokenKind PrefixedLiteral(std::string_view s, size_t& i, bool& open) {
  const char c = s[i];
  const char next = i + 1 < s.size() ? s[i + 1] : '\0';
  if (next == '\'' && (c == 'N' || c == 'n')) {
    i = QuotedEnd(s, i + 1, '\'', open);
    return TokenKind::kNString;
  }
  if (next == '\'' && (c == 'E' || c == 'e')) {
    i = QuotedEnd<true>(s, i + 1, '\'', open);
    return TokenKind::kString;
  }
  if (next == '&' && (c == 'U' || c == 'u') && i + 2 < s.size() &&
      (s[i + 2] == '\'' || s[i + 2] == '"')) {
    const char quote = s[i + 2];
    i = QuotedEnd(s, i + 2, quote, open);
    return quote == '"' ? TokenKind::kQuotedName : TokenKind::kString;
  }
  return TokenKind::kWord;
}

// Length of the dollar-quote tag ("$$", "$tag$") at `i`, or 0.  A tag does
// not begin with a digit ("$1" is a parameter).
size_t DollarTag(std::string_view s, size_t i) {
  size_t j = i + 1;
  if (j < s.size() && IsWordStart(static_cast<unsigned char>(s[j])) && s[j] != '#') {
    while (j < s.size() && s[j] != '$' && s[j] != '@' && s[j] != '#' &&
           IsWordChar(static_cast<unsigned char>(s[j])))
      ++j;
  }
  return j < s.size() && s[j] == '$' ? j + 1 - i : 0;
}

bool IsHexDigit(char c) {
  return IsDigit(static_cast<unsigned char>(c)) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The body of a U& literal or name with its escapes decoded; false for an
// escape the server refuses.  Surrogates are refused too: no name needs them.
bool DecodeUnicodeEscapes(std::string_view body, char escape, std::string& out) {
  out.clear();
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != escape) {
      out += body[i];
      continue;
    }
    if (i + 1 < body.size() && body[i + 1] == escape) {
      out += escape;
      ++i;
      continue;
    }
    const bool wide = i + 1 < body.size() && body[i + 1] == '+';
    const size_t digits = wide ? 6 : 4;
    const size_t from = i + (wide ? 2 : 1);
    if (from + digits > body.size())
      return false;
    char32_t cp = 0;
    for (size_t k = from; k < from + digits; ++k) {
      if (!IsHexDigit(body[k]))
        return false;
      cp = cp * 16 + static_cast<char32_t>(IsDigit(static_cast<unsigned char>(body[k]))
                                               ? body[k] - '0'
                                               : (body[k] | 0x20) - 'a' + 10);
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    AppendUtf8(cp, out);
    i = from + digits - 1;
  }
  return true;
}

// Undoes the doubling of `quote` inside a quoted body.
std::string Undoubled(std::string_view body, char quote) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    out += body[i];
    if (body[i] == quote && i + 1 < body.size() && body[i + 1] == quote)
      ++i;
  }
  return out;
}

}  // namespace

void Tokenize(std::string_view s, std::vector<Token>& out) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const size_t start = i;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    bool open = false;
    TokenKind kind;
    if (IsSpace(c)) {
      while (i < n && IsSpace(static_cast<unsigned char>(s[i])))
        ++i;
      kind = TokenKind::kSpace;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n' && s[i] != '\r')
        ++i;
      kind = TokenKind::kComment;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      int depth = 0;
      open = true;
      while (i < n) {
        if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
          ++depth;
          i += 2;
        } else if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
          i += 2;
          if (--depth == 0) {
            open = false;
            break;
          }
        } else {
          ++i;
        }
      }
      kind = TokenKind::kComment;
    } else if (c == '\'') {
      i = QuotedEnd(s, i, '\'', open);
      kind = TokenKind::kString;
    } else if (c == '[') {
      i = QuotedEnd(s, i, ']', open);
      kind = TokenKind::kQuotedName;
    } else if (c == '"') {
      i = QuotedEnd(s, i, '"', open);
      kind = TokenKind::kQuotedName;
    } else if (IsDigit(c) ||
               (c == '.' && i + 1 < n && IsDigit(static_cast<unsigned char>(s[i + 1])))) {
      while (i < n && IsDigit(static_cast<unsigned char>(s[i])))
        ++i;
      if (i < n && s[i] == '.') {
        ++i;
        while (i < n && IsDigit(static_cast<unsigned char>(s[i])))
          ++i;
      }
      if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-'))
          ++j;
        if (j < n && IsDigit(static_cast<unsigned char>(s[j]))) {
          i = j;
          while (i < n && IsDigit(static_cast<unsigned char>(s[i])))
            ++i;
        }
      }
      kind = TokenKind::kNumber;
    } else if (IsWordStart(c)) {
      kind = PrefixedLiteral(s, i, open);
      if (kind == TokenKind::kWord) {
        while (i < n && IsWordChar(static_cast<unsigned char>(s[i])))
          ++i;
      }
    } else if (const size_t tag = c == '$' ? DollarTag(s, i) : 0) {
      const size_t end = s.find(s.substr(i, tag), i + tag);
      open = end == std::string_view::npos;
      i = open ? n : end + tag;
      kind = TokenKind::kString;
    } else if (c == '@') {
      ++i;
      while (i < n && IsWordChar(static_cast<unsigned char>(s[i])))
        ++i;
      kind = TokenKind::kVariable;
    } else {
      ++i;
      switch (c) {
        case '?':
          kind = TokenKind::kMarker;
          break;
        case '(':
          kind = TokenKind::kOpen;
          break;
        case ')':
          kind = TokenKind::kClose;
          break;
        case ',':
          kind = TokenKind::kComma;
          break;
        case '.':
          kind = TokenKind::kDot;
          break;
        case ';':
          kind = TokenKind::kSemicolon;
          break;
        case '<':
          if (i < n && (s[i] == '>' || s[i] == '='))
            ++i;
          kind = TokenKind::kOperator;
          break;
        case '>':
        case '!':
          if (i < n && (s[i] == '=' || (c == '!' && (s[i] == '<' || s[i] == '>'))))
            ++i;
          kind = TokenKind::kOperator;
          break;
        case '|':
          if (i < n && s[i] == '|')
            ++i;
          kind = TokenKind::kOperator;
          break;
        case ':':
          if (i < n && s[i] == ':')
            ++i;
          kind = TokenKind::kOperator;
          break;
        case '=':
        case '+':
        case '-':
        case '*':
        case '/':
        case '%':
        case '&':
        case '^':
        case '~':
          kind = TokenKind::kOperator;
          break;
        default:
          // The rest of a UTF-8 sequence never starts here (words take it).
          kind = TokenKind::kOther;
          break;
      }
    }
    out.push_back(Token{kind, s.substr(start, i - start), open});
  }
}

bool WordIs(const Token& t, std::string_view upper) {
  if (t.kind != TokenKind::kWord || t.text.size() != upper.size())
    return false;
  for (size_t i = 0; i < upper.size(); ++i) {
    char c = t.text[i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    if (c != upper[i])
      return false;
  }
  return true;
}

std::string_view NameText(const Token& t) {
  if (t.kind != TokenKind::kQuotedName)
    return t.text;
  const size_t skip = t.text.front() == '[' || t.text.front() == '"' ? 1 : 3;  // U&"
  const size_t close = t.open ? 0 : 1;
  return t.text.size() >= skip + close ? t.text.substr(skip, t.text.size() - skip - close)
                                       : std::string_view();
}

bool ResolveName(const std::vector<Token>& tokens, size_t i, std::string& name, size_t& next) {
  const Token& t = tokens[i];
  next = i + 1;
  if (t.kind == TokenKind::kWord) {
    name = AsciiLower(t.text);
    return true;
  }
  if (t.kind != TokenKind::kQuotedName || t.open)
    return false;
  const char front = t.text.front();
  if (front == '[') {
    name = AsciiLower(Undoubled(NameText(t), ']'));
    return true;
  }
  const std::string body = Undoubled(NameText(t), '"');
  if (front == '"') {
    name = body;
    return true;
  }
  char escape = '\\';
  size_t k = next;
  while (k < tokens.size() && !Significant(tokens[k]))
    ++k;
  if (k < tokens.size() && WordIs(tokens[k], "UESCAPE")) {
    size_t literal = k + 1;
    while (literal < tokens.size() && !Significant(tokens[literal]))
      ++literal;
    if (literal >= tokens.size() || tokens[literal].kind != TokenKind::kString ||
        tokens[literal].text.size() != 3 || tokens[literal].text.front() != '\'')
      return false;
    escape = tokens[literal].text[1];
    if (IsHexDigit(escape) || escape == '+' || escape == '\'' || escape == '"' ||
        IsSpace(static_cast<unsigned char>(escape)))
      return false;
    next = literal + 1;
  }
  return DecodeUnicodeEscapes(body, escape, name);
}

void SplitBatch(const std::vector<Token>& tokens, std::vector<Piece>& out) {
  const size_t n = tokens.size();
  bool open = false;
  Piece cur{0, 0, StatementKind::kOther};
  int depth = 0;
  bool seen_values = false, seen_set = false;
  const Token* prev = nullptr;

  auto close = [&](size_t end) {
    if (open) {
      cur.end = end;
      // Only SET NOCOUNT ON|OFF is nothing to run; anything else after it
      // goes to the engine, which refuses it, rather than vanishing.
      if (cur.kind == StatementKind::kNoCount) {
        std::vector<const Token*> words;
        for (size_t k = cur.begin; k < end; ++k) {
          if (Significant(tokens[k]) && tokens[k].kind != TokenKind::kSemicolon)
            words.push_back(&tokens[k]);
        }
        const bool bare =
            words.size() == 3 && (WordIs(*words[2], "ON") || WordIs(*words[2], "OFF"));
        if (!bare)
          cur.kind = StatementKind::kSetOption;
      }
      out.push_back(cur);
    }
    open = false;
    prev = nullptr;
  };
  auto start = [&](size_t i, StatementKind kind) {
    close(i);
    open = true;
    cur = Piece{i, i, kind};
    depth = 0;
    seen_values = seen_set = false;
  };

  for (size_t i = 0; i < n; ++i) {
    const Token& t = tokens[i];
    if (!Significant(t))
      continue;
    if (t.kind == TokenKind::kSemicolon) {
      close(i);
      continue;
    }
    if (!open) {
      StatementKind kind = StatementKind::kOther;
      if (WordIs(t, "SELECT"))
        kind = StatementKind::kSelect;
      else if (WordIs(t, "INSERT"))
        kind = StatementKind::kInsert;
      else if (WordIs(t, "UPDATE"))
        kind = StatementKind::kUpdate;
      else if (WordIs(t, "DELETE"))
        kind = StatementKind::kDelete;
      else if (WordIs(t, "SET")) {
        const size_t j = [&] {
          size_t k = i + 1;
          while (k < n && !Significant(tokens[k]))
            ++k;
          return k;
        }();
        kind = j < n && WordIs(tokens[j], "NOCOUNT") ? StatementKind::kNoCount
                                                     : StatementKind::kSetOption;
      }
      start(i, kind);
      prev = &t;
      continue;
    }
    if (t.kind == TokenKind::kOpen) {
      ++depth;
    } else if (t.kind == TokenKind::kClose) {
      if (depth > 0)
        --depth;
    } else if (depth == 0 && t.kind == TokenKind::kWord && cur.kind != StatementKind::kOther) {
      bool begins = false;
      StatementKind kind = StatementKind::kOther;
      // SELECT ... FOR UPDATE and ON CONFLICT DO UPDATE continue the
      // statement they stand in.
      const bool clause = prev && (WordIs(*prev, "FOR") || WordIs(*prev, "DO") ||
                                   (WordIs(t, "SET") && WordIs(*prev, "UPDATE")));
      if (clause) {
        // nothing begins here
      } else if (WordIs(t, "SELECT")) {
        const bool compound = prev && (WordIs(*prev, "UNION") || WordIs(*prev, "ALL") ||
                                       WordIs(*prev, "EXCEPT") || WordIs(*prev, "INTERSECT"));
        // INSERT ... SELECT: the first SELECT is the rows to insert, a later
        // one a statement of its own.
        const bool insert_select = cur.kind == StatementKind::kInsert && !seen_values;
        if (insert_select)
          seen_values = true;
        begins = !compound && !insert_select;
        kind = StatementKind::kSelect;
      } else if (WordIs(t, "INSERT")) {
        begins = true;
        kind = StatementKind::kInsert;
      } else if (WordIs(t, "DELETE")) {
        begins = true;
        kind = StatementKind::kDelete;
      } else if (WordIs(t, "UPDATE")) {
        begins = true;
        kind = StatementKind::kUpdate;
      } else if (WordIs(t, "SET")) {
        if (cur.kind == StatementKind::kUpdate && !seen_set) {
          seen_set = true;
        } else {
          begins = true;
          size_t k = i + 1;
          while (k < n && !Significant(tokens[k]))
            ++k;
          kind = k < n && WordIs(tokens[k], "NOCOUNT") ? StatementKind::kNoCount
                                                       : StatementKind::kSetOption;
        }
      } else if (WordIs(t, "VALUES") && cur.kind == StatementKind::kInsert) {
        seen_values = true;
      }
      if (begins)
        start(i, kind);
    }
    prev = &t;
  }
  close(n);
}

void Edits::Push(size_t token, Kind kind, std::string text) {
  edits_.push_back(Edit{static_cast<uint32_t>(token), static_cast<uint32_t>(edits_.size()), kind,
                        std::move(text)});
}

void Edits::Seal() {
  std::sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) {
    return a.token != b.token ? a.token < b.token : a.order < b.order;
  });
}

std::pair<const Edits::Edit*, const Edits::Edit*> Edits::At(size_t i) const {
  const auto first = std::lower_bound(edits_.begin(), edits_.end(), i,
                                      [](const Edit& e, size_t t) { return e.token < t; });
  auto last = first;
  while (last != edits_.end() && last->token == i)
    ++last;
  return {edits_.data() + (first - edits_.begin()), edits_.data() + (last - edits_.begin())};
}

bool Edits::Open(size_t i, std::string& out) const {
  const auto [first, last] = At(i);
  const Edit* replacement = nullptr;
  for (const Edit* e = first; e != last; ++e) {
    if (e->kind == kBefore)
      out += e->text;
    else if (e->kind == kReplace)
      replacement = e;
  }
  if (replacement)
    out += replacement->text;
  return replacement != nullptr;
}

void Edits::Close(size_t i, std::string& out) const {
  const auto [first, last] = At(i);
  for (const Edit* e = last; e != first;) {
    --e;
    if (e->kind == kAfter)
      out += e->text;
  }
}

ValueKind ResultKinds::Column(size_t index, size_t count) const {
  const size_t n = items.size();
  if (first_star < 0)
    return index < n && count == n ? items[index] : ValueKind::kUnknown;
  if (index < static_cast<size_t>(first_star))
    return items[index];
  const size_t tail = n - static_cast<size_t>(last_star) - 1;
  if (index < count && count - index <= tail)
    return items[n - (count - index)];
  return ValueKind::kUnknown;
}

void Hooks::Placeholder(int, std::string& out) const {
  out += '?';
}
void Hooks::Identity(std::string& out) const {
  out += "@@IDENTITY";
}
void Hooks::CurrentTime(std::string& out) const {
  out += "GETDATE()";
}
void Hooks::CastSmallDateTime(std::string_view expr, std::string& out) const {
  out += "CAST(";
  out += expr;
  out += " AS smalldatetime)";
}
void Hooks::CastDateTime(std::string_view expr, std::string& out) const {
  out += "CAST(";
  out += expr;
  out += " AS datetime)";
}
void Hooks::AssignedValue(std::string_view, std::string_view, std::string_view expr,
                          std::string& out) const {
  out += expr;
}
size_t Hooks::Rewrite(Translator&, size_t, size_t, std::string&) const {
  return 0;
}
const Catalogue* Hooks::Columns() const {
  return nullptr;
}
void Hooks::RenderTyped(const Analyzer&, Edits&) const {}
bool Hooks::FoldsOnClient() const {
  return false;
}

Translator::Translator(const Hooks& hooks)
    : hooks_(hooks), analyzer_(std::make_unique<Analyzer>()) {}

Translator::~Translator() = default;

size_t Translator::NextSignificant(size_t i, size_t end) const {
  while (i < end && !Significant(tokens_[i]))
    ++i;
  return i;
}

size_t Translator::MatchingClose(size_t open, size_t end) const {
  int depth = 0;
  for (size_t i = open; i < end; ++i) {
    if (tokens_[i].kind == TokenKind::kOpen)
      ++depth;
    else if (tokens_[i].kind == TokenKind::kClose && --depth == 0)
      return i;
  }
  return end;
}

void Translator::EmitRange(size_t begin, size_t end, std::string& out) {
  // TOP n waits for the end of its SELECT: the close of the parenthesis it
  // stands in, or the end of the range.
  struct Limit {
    int depth;
    std::string_view count;
  };
  Limit limits[8];
  int limit_count = 0;
  int depth = 0;
  auto flush_limits = [&](int at_depth) {
    while (limit_count > 0 && limits[limit_count - 1].depth == at_depth) {
      out += " LIMIT ";
      out += limits[--limit_count].count;
    }
  };

  const bool edited = !edits_.Empty();
  for (size_t i = begin; i < end; ++i) {
    // What follows the previous token, which may have ended a construct of
    // several tokens.
    if (edited && i > begin)
      edits_.Close(i - 1, out);
    const size_t at = out.size();
    const bool replaced = edited && edits_.Open(i, out) && tokens_[i].kind != TokenKind::kMarker;
    // An edit's text must not run into the word before it ("LIKE''" with
    // the pattern wrapped in a call).
    if (at > 0 && out.size() > at && IsWordChar(static_cast<unsigned char>(out[at - 1])) &&
        IsWordChar(static_cast<unsigned char>(out[at])))
      out.insert(at, 1, ' ');
    if (replaced)
      continue;
    // Tokens written side by side must not run into one: a literal after a
    // literal (one without its N, or a rewrite ending in one) into one
    // holding a quotation mark, a literal or [name] after "U&" into
    // PostgreSQL's escaped form (U&N'..' without its N), a word after a
    // placeholder spelled $1 (or before it) into one name.
    if (!out.empty() && !tokens_[i].text.empty()) {
      const Token& t = tokens_[i];
      const bool literal = t.kind == TokenKind::kString || t.kind == TokenKind::kNString;
      const bool quoted = literal || t.kind == TokenKind::kQuotedName;
      const bool after_u_amp =
          out.size() >= 2 && out.back() == '&' && (out[out.size() - 2] | 0x20) == 'u';
      if ((literal && out.back() == '\'') || (quoted && after_u_amp) ||
          (IsWordChar(static_cast<unsigned char>(out.back())) &&
           (t.kind == TokenKind::kMarker || IsWordChar(static_cast<unsigned char>(t.text[0])))))
        out += ' ';
    }
    if (const size_t used = hooks_.Rewrite(*this, i, end, out)) {
      i += used - 1;
      continue;
    }
    const Token& t = tokens_[i];
    switch (t.kind) {
      case TokenKind::kNString:
        out.append(t.text.substr(1));
        break;
      case TokenKind::kMarker:
        hooks_.Placeholder(param_index_++, out);
        break;
      case TokenKind::kVariable:
        if (t.text.size() == 10 && (t.text[2] == 'I' || t.text[2] == 'i') &&
            WordIs(Token{TokenKind::kWord, t.text.substr(2)}, "IDENTITY"))
          hooks_.Identity(out);
        else
          out.append(t.text);
        break;
      case TokenKind::kQuotedName:
        if (t.text.front() == '[') {
          out += Quoted(NameText(t), '"');
        } else {
          out.append(t.text);
        }
        break;
      case TokenKind::kOpen:
        ++depth;
        out += '(';
        break;
      case TokenKind::kClose:
        flush_limits(depth);
        if (depth > 0)
          --depth;
        out += ')';
        break;
      case TokenKind::kWord: {
        const size_t next = NextSignificant(i + 1, end);
        const bool call = next < end && tokens_[next].kind == TokenKind::kOpen;
        if (call && WordIs(t, "GETDATE")) {
          const size_t close = NextSignificant(next + 1, end);
          if (close < end && tokens_[close].kind == TokenKind::kClose) {
            hooks_.CurrentTime(out);
            i = close;
            break;
          }
        }
        if (call && WordIs(t, "ISNULL")) {
          out += "COALESCE";
          break;
        }
        if (call && WordIs(t, "CAST")) {
          const size_t close = MatchingClose(next, end);
          // CAST(<expr> AS smalldatetime): the type is the last word before ")".
          size_t type = close;
          while (type > next + 1 && !Significant(tokens_[type - 1]))
            --type;
          --type;
          size_t as = type;
          while (as > next + 1 && !Significant(tokens_[as - 1]))
            --as;
          --as;
          if (close < end && type > next && as > next && WordIs(tokens_[as], "AS") &&
              (WordIs(tokens_[type], "SMALLDATETIME") || WordIs(tokens_[type], "DATETIME"))) {
            std::string inner;
            EmitRange(next + 1, as, inner);
            while (!inner.empty() && inner.back() == ' ')
              inner.pop_back();
            if (WordIs(tokens_[type], "SMALLDATETIME"))
              hooks_.CastSmallDateTime(inner, out);
            else
              hooks_.CastDateTime(inner, out);
            i = close;
            break;
          }
        }
        if (WordIs(t, "TOP") && limit_count < 8) {
          // Only right after SELECT [DISTINCT|ALL], followed by a number.
          size_t p = i;
          while (p > begin && !Significant(tokens_[p - 1]))
            --p;
          const Token* before = p > begin ? &tokens_[p - 1] : nullptr;
          const bool after_select =
              before &&
              (WordIs(*before, "SELECT") || WordIs(*before, "DISTINCT") || WordIs(*before, "ALL"));
          size_t num = next;
          size_t last = next;
          if (num < end && tokens_[num].kind == TokenKind::kOpen) {
            num = NextSignificant(num + 1, end);
            last = NextSignificant(num + 1, end);
            if (last >= end || tokens_[last].kind != TokenKind::kClose)
              num = end;
          }
          const size_t after = NextSignificant(last + 1, end);
          const bool plain = after >= end ||
                             !(WordIs(tokens_[after], "PERCENT") || WordIs(tokens_[after], "WITH"));
          if (after_select && num < end && tokens_[num].kind == TokenKind::kNumber && plain) {
            limits[limit_count++] = Limit{depth, tokens_[num].text};
            i = last;
            // Keep one blank between the words around TOP.
            if (i + 1 < end && tokens_[i + 1].kind == TokenKind::kSpace)
              ++i;
            break;
          }
        }
        out.append(t.text);
        break;
      }
      default:
        out.append(t.text);
        break;
    }
  }
  if (edited && end > begin)
    edits_.Close(end - 1, out);
  flush_limits(depth);
  for (int d = depth - 1; d >= 0 && limit_count > 0; --d)
    flush_limits(d);
}

void Translator::EmitAssigned(std::string_view table, std::string_view column, size_t begin,
                              size_t end, std::string& out) {
  // Keep the blanks around the value where they were.
  size_t b = begin, e = end;
  while (b < e && !Significant(tokens_[b]))
    out.append(tokens_[b++].text);
  while (e > b && !Significant(tokens_[e - 1]))
    --e;
  std::string value;
  EmitRange(b, e, value);
  hooks_.AssignedValue(table, column, value, out);
  for (size_t i = e; i < end; ++i)
    out.append(tokens_[i].text);
}

// INSERT [INTO] table (columns) VALUES (values)[, (values)...]
void Translator::EmitInsert(const Piece& p, std::string& out) {
  size_t i = NextSignificant(p.begin + 1, p.end);
  if (i < p.end && WordIs(tokens_[i], "INTO"))
    i = NextSignificant(i + 1, p.end);
  // The table name: the last part of a dotted name.
  size_t name = i;
  while (true) {
    const size_t dot = NextSignificant(name + 1, p.end);
    if (dot < p.end && tokens_[dot].kind == TokenKind::kDot) {
      name = NextSignificant(dot + 1, p.end);
      continue;
    }
    break;
  }
  const size_t open = NextSignificant(name + 1, p.end);
  if (name >= p.end || open >= p.end || tokens_[open].kind != TokenKind::kOpen)
    return EmitRange(p.begin, p.end, out);
  const std::string_view table = NameText(tokens_[name]);
  const size_t close = MatchingClose(open, p.end);
  std::vector<std::string_view> columns;
  for (size_t k = open + 1; k < close; ++k)
    if (tokens_[k].kind == TokenKind::kWord || tokens_[k].kind == TokenKind::kQuotedName)
      columns.push_back(NameText(tokens_[k]));
  size_t values = NextSignificant(close + 1, p.end);
  if (values >= p.end || !WordIs(tokens_[values], "VALUES"))
    return EmitRange(p.begin, p.end, out);
  EmitRange(p.begin, values + 1, out);
  size_t k = values + 1;
  while (k < p.end) {
    const size_t g = NextSignificant(k, p.end);
    for (; k < g; ++k)
      out.append(tokens_[k].text);
    if (g >= p.end || tokens_[g].kind != TokenKind::kOpen)
      break;
    const size_t gclose = MatchingClose(g, p.end);
    if (gclose >= p.end) {
      k = g;
      break;
    }
    out += '(';
    size_t value_begin = g + 1;
    size_t column = 0;
    int depth = 0;
    for (size_t j = g + 1; j <= gclose && j < p.end; ++j) {
      const TokenKind kind = tokens_[j].kind;
      if (kind == TokenKind::kOpen)
        ++depth;
      else if (kind == TokenKind::kClose && depth > 0 && j != gclose)
        --depth;
      if ((kind == TokenKind::kComma && depth == 0) || j == gclose) {
        EmitAssigned(table, column < columns.size() ? columns[column] : std::string_view(),
                     value_begin, j, out);
        out += j == gclose ? ")" : ",";
        ++column;
        value_begin = j + 1;
      }
    }
    k = gclose + 1;
    const size_t comma = NextSignificant(k, p.end);
    if (comma < p.end && tokens_[comma].kind == TokenKind::kComma) {
      for (; k <= comma; ++k)
        out.append(tokens_[k].text);
      continue;
    }
    break;
  }
  EmitRange(k, p.end, out);
}

// UPDATE table SET column = value[, ...] [FROM|WHERE ...]
void Translator::EmitUpdate(const Piece& p, std::string& out) {
  size_t name = NextSignificant(p.begin + 1, p.end);
  while (true) {
    const size_t dot = NextSignificant(name + 1, p.end);
    if (dot < p.end && tokens_[dot].kind == TokenKind::kDot) {
      name = NextSignificant(dot + 1, p.end);
      continue;
    }
    break;
  }
  const size_t set = NextSignificant(name + 1, p.end);
  if (name >= p.end || set >= p.end || !WordIs(tokens_[set], "SET"))
    return EmitRange(p.begin, p.end, out);
  const std::string_view table = NameText(tokens_[name]);
  EmitRange(p.begin, set + 1, out);
  size_t k = set + 1;
  while (k < p.end) {
    // column = value
    size_t col = NextSignificant(k, p.end);
    size_t eq = NextSignificant(col + 1, p.end);
    // A qualified column (T.Col) names its last part.
    while (eq < p.end && tokens_[eq].kind == TokenKind::kDot) {
      col = NextSignificant(eq + 1, p.end);
      eq = NextSignificant(col + 1, p.end);
    }
    if (eq >= p.end || tokens_[eq].kind != TokenKind::kOperator || tokens_[eq].text != "=")
      break;
    EmitRange(k, eq + 1, out);
    size_t j = eq + 1;
    int depth = 0;
    for (; j < p.end; ++j) {
      const Token& t = tokens_[j];
      if (t.kind == TokenKind::kOpen)
        ++depth;
      else if (t.kind == TokenKind::kClose)
        --depth;
      else if (depth == 0 && (t.kind == TokenKind::kComma || WordIs(t, "WHERE") ||
                              WordIs(t, "FROM") || WordIs(t, "OUTPUT")))
        break;
    }
    EmitAssigned(table, NameText(tokens_[col]), eq + 1, j, out);
    k = j;
    if (k < p.end && tokens_[k].kind == TokenKind::kComma) {
      out += ',';
      ++k;
      continue;
    }
    break;
  }
  EmitRange(k, p.end, out);
}

const std::vector<Statement>& Translator::Translate(std::string_view batch,
                                                    std::span<const ValueKind> params) {
  constexpr size_t kCacheSize = 128;
  const Catalogue* catalogue = hooks_.Columns();
  const uint64_t version = catalogue ? catalogue->Version() : 0;
  if (catalogue != cache_catalogue_ || version != cache_version_ || cache_.size() >= kCacheSize) {
    cache_.clear();
    cache_catalogue_ = catalogue;
    cache_version_ = version;
  }
  key_.assign(batch);
  key_ += '\0';
  for (ValueKind k : params)
    key_ += static_cast<char>('A' + static_cast<int>(k));
  if (const auto found = cache_.find(key_); found != cache_.end()) {
    current_ = &found->second;
    return found->second.statements;
  }
  current_ = nullptr;
  TranslateAnew(batch, params);
  // Kept with a copy of the batch for the tokens to point into; a node of
  // the map never moves.
  Translated& kept = cache_[key_];
  kept.text.assign(batch);
  kept.tokens.clear();
  for (const Token& t : tokens_)
    kept.tokens.push_back(
        Token{t.kind, std::string_view(kept.text).substr(
                          static_cast<size_t>(t.text.data() - batch.data()), t.text.size())});
  kept.statements = std::move(statements_);
  kept.params = param_index_;
  current_ = &kept;
  return kept.statements;
}

void Translator::TranslateAnew(std::string_view batch, std::span<const ValueKind> params) {
  tokens_.clear();
  pieces_.clear();
  statements_.clear();
  param_index_ = 0;
  Tokenize(batch, tokens_);
  SplitBatch(tokens_, pieces_);
  for (const Piece& p : pieces_) {
    const int first = param_index_;
    if (p.kind == StatementKind::kNoCount)
      continue;
    Statement s;
    s.kind = p.kind;
    s.first_param = first;
    size_t end = p.end;
    while (end > p.begin && !Significant(tokens_[end - 1]))
      --end;
    const Piece trimmed{p.begin, end, p.kind};
    edits_.Clear();
    const Catalogue* catalogue = hooks_.Columns();
    if (catalogue && p.kind != StatementKind::kOther && p.kind != StatementKind::kSetOption &&
        Analyzer::NeedsTyping(tokens_, p.begin, end, *catalogue, params, first)) {
      analyzer_->Run(tokens_, p.begin, end, p.kind, *catalogue, params, first);
      if (analyzer_->Abandoned()) {
        // Untyped, its money would be read in an engine's own scale.
        ProviderError e;
        e.NativeError = 191;
        e.SQLState = "42000";
        e.Description =
            "Some part of your SQL statement is nested too deeply. Rewrite the query or break it "
            "up into smaller queries.";
        e.Source = "kx4data";
        throw EngineError(kErrCommandFailed, {std::move(e)});
      }
      hooks_.RenderTyped(*analyzer_, edits_);
      edits_.Seal();
      const auto results = analyzer_->Results();
      const bool folds = hooks_.FoldsOnClient();
      for (size_t k = 0; k < results.size(); ++k) {
        if (results[k].star) {
          if (s.columns.first_star < 0)
            s.columns.first_star = static_cast<int>(k);
          s.columns.last_star = static_cast<int>(k);
        }
        s.columns.items.push_back(results[k].kind);
        if (folds && results[k].shown != ResultFold::kNone) {
          s.columns.folds.resize(results.size(), ResultFold::kNone);
          s.columns.folds[k] = results[k].shown;
        }
      }
    }
    s.sql.reserve(batch.size() + 16);
    if (p.kind == StatementKind::kInsert)
      EmitInsert(trimmed, s.sql);
    else if (p.kind == StatementKind::kUpdate)
      EmitUpdate(trimmed, s.sql);
    else
      EmitRange(trimmed.begin, trimmed.end, s.sql);
    s.param_count = param_index_ - first;
    statements_.push_back(std::move(s));
  }
  edits_.Clear();
}

}  // namespace kx4::ado::dialect
