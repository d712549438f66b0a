#include "session/StatementCheck.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace kx4 {

namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

// Word characters of unquoted names and keywords; bytes of multi-byte UTF-8
// characters count as word characters, as the servers accept them in names.
bool IsWordChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_' || c == '@' || c == '#' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsPlainName(std::string_view part) {
  if (part.empty() || IsAsciiDigit(part.front()))
    return false;
  return std::all_of(part.begin(), part.end(),
                     [](char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; });
}

enum class TokenKind { kWord, kLiteral, kQuotedName, kSemicolon, kOpen, kClose, kOther };

struct Token {
  TokenKind kind;
  std::string text;  // upper-cased for words
};

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Splits `sql` into tokens; false (with `reason`) for text the dialects might
// split differently.
bool Tokenize(std::string_view sql, std::vector<Token>& tokens, std::string& reason) {
  size_t i = 0;
  const size_t n = sql.size();
  while (i < n) {
    const char c = sql[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n')
        ++i;
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      const size_t end = sql.find("*/", i + 2);
      if (end == std::string_view::npos) {
        reason = "The statement has an unterminated comment.";
        return false;
      }
      // Some engines nest block comments and some do not.
      if (sql.substr(i + 2, end - i - 2).find("/*") != std::string_view::npos) {
        reason = "The statement has a nested comment.";
        return false;
      }
      i = end + 2;
    } else if (c == '\'') {
      // N'..' is the one prefix SQL Server knows; others (E'..', X'..')
      // change how some engines read the literal's escapes.
      if (i > 0 && IsWordChar(sql[i - 1])) {
        if (tokens.empty() || tokens.back().kind != TokenKind::kWord || tokens.back().text != "N") {
          reason = "The statement has a literal of an unsupported form.";
          return false;
        }
        tokens.pop_back();
      }
      size_t j = i + 1;
      for (;;) {
        if (j >= n) {
          reason = "The statement has an unterminated literal.";
          return false;
        }
        if (sql[j] == '\'') {
          if (j + 1 < n && sql[j + 1] == '\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      tokens.push_back({TokenKind::kLiteral, {}});
      i = j + 1;
    } else if (c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      size_t j = i + 1;
      for (;;) {
        if (j >= n) {
          reason = "The statement has an unterminated quoted name.";
          return false;
        }
        if (sql[j] == close) {
          if (j + 1 < n && sql[j + 1] == close) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      tokens.push_back({TokenKind::kQuotedName, {}});
      i = j + 1;
    } else if (IsWordChar(c)) {
      size_t j = i;
      while (j < n && IsWordChar(sql[j]))
        ++j;
      tokens.push_back({TokenKind::kWord, Upper(sql.substr(i, j - i))});
      i = j;
    } else if (c == ';') {
      tokens.push_back({TokenKind::kSemicolon, ";"});
      ++i;
    } else if (c == '(') {
      tokens.push_back({TokenKind::kOpen, "("});
      ++i;
    } else if (c == ')') {
      tokens.push_back({TokenKind::kClose, ")"});
      ++i;
    } else {
      tokens.push_back({TokenKind::kOther, std::string(1, c)});
      ++i;
    }
  }
  return true;
}

// Words that change data or the session wherever they stand; all are
// reserved, so no plain column or table carries these names.
constexpr std::string_view kWritingWords[] = {"INSERT",  "UPDATE", "DELETE", "MERGE",    "INTO",
                                              "DROP",    "CREATE", "ALTER",  "TRUNCATE", "EXEC",
                                              "EXECUTE", "GRANT",  "REVOKE", "DENY",     "DECLARE"};

bool IsWritingWord(const std::string& word) {
  return std::find(std::begin(kWritingWords), std::end(kWritingWords), word) !=
         std::end(kWritingWords);
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
  if (!Tokenize(sql, tokens, reason))
    return false;
  // One trailing ";" is allowed; anything after a ";" is a second statement.
  if (!tokens.empty() && tokens.back().kind == TokenKind::kSemicolon)
    tokens.pop_back();
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::kSemicolon) {
      reason = "Only one statement can be run at a time.";
      return false;
    }
  }
  if (tokens.empty() || tokens.front().kind != TokenKind::kWord ||
      (tokens.front().text != "SELECT" && tokens.front().text != "WITH")) {
    reason = "Only a SELECT statement can be run.";
    return false;
  }
  int depth = 0;
  bool main_verb_seen = false;
  for (const Token& token : tokens) {
    if (token.kind == TokenKind::kOpen) {
      ++depth;
    } else if (token.kind == TokenKind::kClose) {
      --depth;
    } else if (token.kind == TokenKind::kWord) {
      if (IsWritingWord(token.text)) {
        reason = token.text == "INTO" ? "SELECT ... INTO cannot be run: it creates a table."
                                      : "The statement contains " + token.text + ".";
        return false;
      }
      // The main statement of a WITH is the first verb outside the
      // parentheses of its common table expressions.
      if (token.text == "SELECT" && depth <= 0)
        main_verb_seen = true;
    }
  }
  if (!main_verb_seen) {
    reason = "Only a SELECT statement can be run.";
    return false;
  }
  return true;
}

}  // namespace kx4
