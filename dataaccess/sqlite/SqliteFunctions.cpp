#include "dataaccess/sqlite/SqliteFunctions.h"

#include <kx4data/DateTime.h>
#include <kx4data/RuntimeError.h>

#include <cmath>
#include <cstring>

#include "dataaccess/sqlite/SqliteApi.h"
#include "dataaccess/sqlite/SqliteErrors.h"
#include "dataaccess/sqlite/SqliteMoney.h"
#include "variant/Utf8.h"

namespace kx4::ado::sqlite {
namespace {

std::string_view TextArg(sqlite3_value* v) {
  const unsigned char* p = sqlite3_value_text(v);
  return p ? std::string_view(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v))
           : std::string_view();
}

enum class Fold { kUpper, kLower, kKey };

void CaseFunction(sqlite3_context* ctx, sqlite3_value* v, Fold fold) {
  if (sqlite3_value_type(v) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  if (sqlite3_value_type(v) != SQLITE_TEXT) {
    // Numbers keep their type, as the built-ins do with them.
    return sqlite3_result_value(ctx, v);
  }
  std::string_view in = TextArg(v);
  if (fold == Fold::kKey)
    while (!in.empty() && in.back() == ' ')
      in.remove_suffix(1);
  const std::string out = fold == Fold::kLower ? LowerText(in) : UpperText(in);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void UpperFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  CaseFunction(ctx, argv[0], Fold::kUpper);
}

void LowerFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  CaseFunction(ctx, argv[0], Fold::kLower);
}

// What KX4_CI compares: upper-cased, trailing blanks removed.
void KeyFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  CaseFunction(ctx, argv[0], Fold::kKey);
}

// like(pattern, text[, escape]), the form "text LIKE pattern" calls.
void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  uint32_t escape = 0;
  if (argc == 3) {
    const std::string_view e = TextArg(argv[2]);
    size_t i = 0;
    if (e.empty() || (escape = NextChar(e, i), i != e.size())) {
      sqlite3_result_error(ctx, "The invalid escape character was specified in a LIKE predicate.",
                           -1);
      return;
    }
  }
  sqlite3_result_int(ctx, Like(TextArg(argv[0]), TextArg(argv[1]), escape) ? 1 : 0);
}

void FlagFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
    return sqlite3_result_int(ctx, 1);  // what "text <> 0" gives
  std::optional<bool> bit;
  if (type == SQLITE_INTEGER) {
    const sqlite3_int64 n = sqlite3_value_int64(v);
    if (n >= INT16_MIN && n <= INT16_MAX)
      bit = n != 0;
  } else {
    bit = FlagValue(sqlite3_value_double(v));
  }
  if (!bit)
    return sqlite3_result_error(ctx, kOverflowSmallInt, -1);
  sqlite3_result_int(ctx, *bit ? 1 : 0);
}

void GetDateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  const std::string text = FormatStoredDate(DateTime::Now().Seconds());
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Converts the argument to a stored date-time; `round_minutes` gives
// smalldatetime's precision (30 seconds and up round up).
void DateConversion(sqlite3_context* ctx, sqlite3_value* v, bool round_minutes) {
  if (sqlite3_value_type(v) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const std::string_view text = TextArg(v);
  int64_t seconds = 0;
  if (!ParseStoredDate(text, seconds)) {
    const std::optional<DateTime> parsed = DateTime::Parse(text);
    if (!parsed) {
      sqlite3_result_error(
          ctx, "Conversion failed when converting date and/or time from character string.", -1);
      return;
    }
    seconds = parsed->Seconds();
  }
  if (round_minutes) {
    const int64_t within = ((seconds % 60) + 60) % 60;
    seconds += within >= 30 ? 60 - within : -within;
  }
  const std::string out = FormatStoredDate(seconds);
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void SmallDateTimeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  DateConversion(ctx, argv[0], true);
}

void DateTimeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  DateConversion(ctx, argv[0], false);
}

int CollateNoCase(void*, int na, const void* a, int nb, const void* b) {
  return CompareNoCase(std::string_view(static_cast<const char*>(a), na),
                       std::string_view(static_cast<const char*>(b), nb));
}

// One element of a LIKE pattern at `p`: fills the matcher for one character.
struct Class {
  bool negate = false;
  bool any = false;      // "_"
  std::string_view set;  // inside brackets, or the literal character
  uint32_t literal = 0;
  bool is_literal = false;
};

bool ClassMatches(const Class& c, uint32_t ch) {
  if (c.any)
    return true;
  if (c.is_literal)
    return UpperChar(c.literal) == UpperChar(ch);
  const uint32_t up = UpperChar(ch);
  bool hit = false;
  size_t i = 0;
  while (i < c.set.size() && !hit) {
    const uint32_t lo = UpperChar(NextChar(c.set, i));
    if (i + 1 < c.set.size() && c.set[i] == '-') {
      size_t j = i + 1;
      const uint32_t hi = UpperChar(NextChar(c.set, j));
      i = j;
      hit = up >= lo && up <= hi;
    } else {
      hit = up == lo;
    }
  }
  return hit != c.negate;
}

// Reads the element at `p`; returns false at a "%" (handled by the caller).
// An unclosed "[" is taken as a literal bracket.
void ReadClass(std::string_view pat, size_t& p, uint32_t escape, Class& c) {
  c = Class{};
  size_t start = p;
  const uint32_t ch = NextChar(pat, p);
  if (escape != 0 && ch == escape && p < pat.size()) {
    c.is_literal = true;
    c.literal = NextChar(pat, p);
    return;
  }
  if (ch == '_') {
    c.any = true;
    return;
  }
  if (ch == '[') {
    size_t q = p;
    if (q < pat.size() && pat[q] == '^') {
      c.negate = true;
      ++q;
    }
    // The first character of a set may be "]" itself only as "[]]"? SQL
    // Server reads "[]" as empty; keep to the plain rule: up to the next "]".
    const size_t close = pat.find(']', q == start + 1 ? q : q);
    if (close != std::string_view::npos && close > q) {
      c.set = pat.substr(q, close - q);
      p = close + 1;
      return;
    }
    if (close == q && close != std::string_view::npos) {
      // "[]" or "[^]": matches nothing (or anything for the negation).
      c.set = std::string_view();
      p = close + 1;
      return;
    }
    c.negate = false;
  }
  c.is_literal = true;
  c.literal = ch;
}

}  // namespace

bool Like(std::string_view pat, std::string_view text, uint32_t escape) {
  // Iterative matching with one backtrack point per "%": the classic
  // wildcard algorithm, linear in practice.
  size_t p = 0, t = 0;
  size_t star_p = std::string_view::npos, star_t = 0;
  Class c;
  while (t < text.size()) {
    if (p < pat.size() && pat[p] == '%' && !(escape == '%')) {
      while (p < pat.size() && pat[p] == '%')
        ++p;
      star_p = p;
      star_t = t;
      continue;
    }
    if (p < pat.size()) {
      size_t np = p;
      ReadClass(pat, np, escape, c);
      size_t nt = t;
      const uint32_t ch = NextChar(text, nt);
      if (ClassMatches(c, ch)) {
        p = np;
        t = nt;
        continue;
      }
    }
    if (star_p == std::string_view::npos)
      return false;
    // Let the last "%" swallow one more character.
    p = star_p;
    NextChar(text, star_t);
    t = star_t;
  }
  while (p < pat.size() && pat[p] == '%')
    ++p;
  return p == pat.size();
}

int CompareNoCase(std::string_view a, std::string_view b) {
  while (!a.empty() && a.back() == ' ')
    a.remove_suffix(1);
  while (!b.empty() && b.back() == ' ')
    b.remove_suffix(1);
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[j]);
    uint32_t cx, cy;
    if (x < 0x80 && y < 0x80) {
      cx = x >= 'a' && x <= 'z' ? x - 32 : x;
      cy = y >= 'a' && y <= 'z' ? y - 32 : y;
      ++i;
      ++j;
    } else {
      cx = UpperChar(NextChar(a, i));
      cy = UpperChar(NextChar(b, j));
    }
    if (cx != cy)
      return cx < cy ? -1 : 1;
  }
  if (i < a.size())
    return 1;
  if (j < b.size())
    return -1;
  return 0;
}

std::optional<bool> FlagValue(double number) {
  const double rounded = std::nearbyint(number);
  if (!(rounded >= INT16_MIN && rounded <= INT16_MAX))
    return std::nullopt;
  return rounded != 0;
}

std::string FormatStoredDate(int64_t seconds) {
  const DateTime d = DateTime::FromSeconds(seconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.Year(), d.Month(), d.Day(),
                d.Hour(), d.Minute(), d.Second());
  return buf;
}

bool ParseStoredDate(std::string_view s, int64_t& seconds) {
  auto digits = [&](size_t at, size_t n, int& v) {
    if (at + n > s.size())
      return false;
    v = 0;
    for (size_t k = at; k < at + n; ++k) {
      if (s[k] < '0' || s[k] > '9')
        return false;
      v = v * 10 + (s[k] - '0');
    }
    return true;
  };
  int y, mo, d, h = 0, mi = 0, sec = 0;
  if (s.size() < 10 || !digits(0, 4, y) || s[4] != '-' || !digits(5, 2, mo) || s[7] != '-' ||
      !digits(8, 2, d))
    return false;
  if (s.size() > 10) {
    if ((s[10] != ' ' && s[10] != 'T') || !digits(11, 2, h) || s.size() < 16 || s[13] != ':' ||
        !digits(14, 2, mi))
      return false;
    if (s.size() > 16 && (s[16] != ':' || !digits(17, 2, sec)))
      return false;
    if (s.size() > 19 && s[19] != '.')
      return false;
  }
  // Fractions of a second are dropped, as the storage keeps whole seconds.
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59)
    return false;
  try {
    seconds = DateTime::FromCivil(y, mo, d, h, mi, sec).Seconds();
  } catch (const RuntimeError&) {
    return false;
  }
  return true;
}

int RegisterFunctions(sqlite3* db) {
  // Innocuous: an index or a view may call them even where the schema is not
  // trusted.
  const int pure = SQLITE_UTF8 | SQLITE_INNOCUOUS;
  const int det = pure | SQLITE_DETERMINISTIC;
  int rc = SQLITE_OK;
  auto add = [&](const char* name, int args, int flags,
                 void (*fn)(sqlite3_context*, int, sqlite3_value**)) {
    if (rc == SQLITE_OK)
      rc =
          sqlite3_create_function_v2(db, name, args, flags, nullptr, fn, nullptr, nullptr, nullptr);
  };
  add("upper", 1, det, UpperFunction);
  add("lower", 1, det, LowerFunction);
  // The names PostgreSQL databases carry the case rules under, so that one
  // statement runs in either engine's shell.
  add("kx4_upper", 1, det, UpperFunction);
  add("kx4_lower", 1, det, LowerFunction);
  add("kx4_key", 1, det, KeyFunction);
  add("like", 2, det, LikeFunction);
  add("like", 3, det, LikeFunction);
  add("kx4_flag", 1, det, FlagFunction);
  add("kx4_getdate", 0, pure, GetDateFunction);
  add("kx4_smalldatetime", 1, det, SmallDateTimeFunction);
  add("kx4_datetime", 1, det, DateTimeFunction);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_collation_v2(db, "KX4_CI", SQLITE_UTF8, nullptr, CollateNoCase, nullptr);
  if (rc == SQLITE_OK)
    rc = RegisterMoneyFunctions(db);
  return rc;
}

}  // namespace kx4::ado::sqlite
