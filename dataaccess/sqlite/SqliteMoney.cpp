#include "dataaccess/sqlite/SqliteMoney.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <string>

#include "dataaccess/sqlite/SqliteApi.h"

namespace kx4::ado::sqlite {
namespace {

using money::Exact;
using money::Wide;

constexpr char kOverflow[] = "Arithmetic overflow error converting expression to data type money.";
constexpr char kDivideByZero[] = "Divide by zero error encountered.";
constexpr char kNotMoney[] =
    "Cannot convert a char value to money. The char value has incorrect syntax.";

constexpr int64_t kTicksPerUnit = 10000;

enum class Read { kValue, kNull, kNotANumber };

// An operand: ten-thousandths of a money column (`money`), or an exact
// number.  A real or a text in a money column was written around the engine
// and is taken in whole units.
Read Operand(sqlite3_value* v, bool money, Exact& out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return Read::kNull;
    case SQLITE_INTEGER:
      out = Exact{sqlite3_value_int64(v), money ? money::kPlaces : 0};
      return Read::kValue;
    case SQLITE_FLOAT:
      return money::ExactFromDouble(sqlite3_value_double(v), out) ? Read::kValue
                                                                  : Read::kNotANumber;
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      return text && money::ParseExact(std::string_view(text, sqlite3_value_bytes(v)), out)
                 ? Read::kValue
                 : Read::kNotANumber;
    }
  }
}

void Result(sqlite3_context* ctx, const Exact& value, int keep = money::kPlaces) {
  int64_t ticks;
  if (!money::ToTicks(value, ticks, keep))
    return sqlite3_result_error(ctx, kOverflow, -1);
  sqlite3_result_int64(ctx, ticks);
}

// Reads the operands of a function; false when the result is already set
// (NULL in, or an error).
bool Operands(sqlite3_context* ctx, sqlite3_value** argv, int count, int money_mask, Exact* out) {
  bool null = false;
  for (int k = 0; k < count; ++k) {
    switch (Operand(argv[k], (money_mask >> k) & 1, out[k])) {
      case Read::kNull:
        null = true;
        break;
      case Read::kNotANumber:
        sqlite3_result_error(ctx, kNotMoney, -1);
        return false;
      case Read::kValue:
        break;
    }
  }
  if (null)
    sqlite3_result_null(ctx);
  return !null;
}

// kx4_madd and its kin: user data names the operator.
void Binary(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const char op = *static_cast<const char*>(sqlite3_user_data(ctx));
  const int mask = sqlite3_value_int(argv[2]);
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
      sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
    // The common cases stay in 64 bits.
    const int64_t a = sqlite3_value_int64(argv[0]);
    const int64_t b = sqlite3_value_int64(argv[1]);
    int64_t r;
    if ((op == '+' || op == '-') && mask == 3) {
      if (op == '+' ? __builtin_add_overflow(a, b, &r) : __builtin_sub_overflow(a, b, &r))
        return sqlite3_result_error(ctx, kOverflow, -1);
      return sqlite3_result_int64(ctx, r);
    }
    if (op == '*' && (mask == 1 || mask == 2)) {
      if (__builtin_mul_overflow(a, b, &r))
        return sqlite3_result_error(ctx, kOverflow, -1);
      return sqlite3_result_int64(ctx, r);
    }
  }
  Exact x[2];
  if (!Operands(ctx, argv, 2, mask, x))
    return;
  Exact r{0, std::max(x[0].scale, x[1].scale)};
  Wide a, b;
  switch (op) {
    case '+':
    case '-':
    case '%':
      if (!money::Rescale(x[0].mantissa, x[0].scale, r.scale, a) ||
          !money::Rescale(x[1].mantissa, x[1].scale, r.scale, b))
        return sqlite3_result_error(ctx, kOverflow, -1);
      if (op == '%') {
        if (b == 0)
          return sqlite3_result_error(ctx, kDivideByZero, -1);
        r.mantissa = a % b;
      } else if (op == '+' ? __builtin_add_overflow(a, b, &r.mantissa)
                           : __builtin_sub_overflow(a, b, &r.mantissa)) {
        return sqlite3_result_error(ctx, kOverflow, -1);
      }
      break;
    case '*':
      r.scale = x[0].scale + x[1].scale;
      if (__builtin_mul_overflow(x[0].mantissa, x[1].mantissa, &r.mantissa))
        return sqlite3_result_error(ctx, kOverflow, -1);
      break;
    default: {
      // (a / 10^sa) / (b / 10^sb) in ten-thousandths.
      if (x[1].mantissa == 0)
        return sqlite3_result_error(ctx, kDivideByZero, -1);
      const int k = x[1].scale - x[0].scale + money::kPlaces;
      a = x[0].mantissa;
      b = x[1].mantissa;
      if (k > 38 || k < -38 ||
          (k >= 0 ? __builtin_mul_overflow(a, money::Pow10(k), &a)
                  : __builtin_mul_overflow(b, money::Pow10(-k), &b)))
        return sqlite3_result_error(ctx, kOverflow, -1);
      r = Exact{money::DivideRounded(a, b), money::kPlaces};
      break;
    }
  }
  Result(ctx, r);
}

void Negate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Exact x;
  if (!Operands(ctx, argv, 1, 1, &x))
    return;
  x.mantissa = -x.mantissa;
  Result(ctx, x);
}

void ToMoney(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Exact x;
  if (!Operands(ctx, argv, 1, 0, &x))
    return;
  Result(ctx, x, argc > 1 ? sqlite3_value_int(argv[1]) : money::kPlaces);
}

// Ten-thousandths of a money operand; false when the result is set.
bool Ticks(sqlite3_context* ctx, sqlite3_value* v, int64_t& ticks) {
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    ticks = sqlite3_value_int64(v);
    return true;
  }
  Exact x;
  if (!Operands(ctx, &v, 1, 1, &x))
    return false;
  if (!money::ToTicks(x, ticks)) {
    sqlite3_result_error(ctx, kOverflow, -1);
    return false;
  }
  return true;
}

void ResultTicks(sqlite3_context* ctx, Wide ticks) {
  if (ticks < std::numeric_limits<int64_t>::min() || ticks > std::numeric_limits<int64_t>::max())
    return sqlite3_result_error(ctx, kOverflow, -1);
  sqlite3_result_int64(ctx, static_cast<int64_t>(ticks));
}

// ROUND(m, places[, truncate]).
void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  int64_t ticks;
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  if (!Ticks(ctx, argv[0], ticks))
    return;
  const int64_t places = sqlite3_value_int64(argv[1]);
  if (places >= money::kPlaces)
    return sqlite3_result_int64(ctx, ticks);
  if (places < money::kPlaces - 38)
    return sqlite3_result_int64(ctx, 0);
  const Wide unit = money::Pow10(static_cast<int>(money::kPlaces - places));
  const bool truncate = argc > 2 && sqlite3_value_int64(argv[2]) != 0;
  ResultTicks(ctx, truncate ? ticks - ticks % unit : money::DivideRounded(ticks, unit) * unit);
}

void Ceiling(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t ticks;
  if (!Ticks(ctx, argv[0], ticks))
    return;
  Wide units = ticks / kTicksPerUnit;
  if (ticks % kTicksPerUnit > 0)
    ++units;
  ResultTicks(ctx, units * kTicksPerUnit);
}

void Floor(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t ticks;
  if (!Ticks(ctx, argv[0], ticks))
    return;
  Wide units = ticks / kTicksPerUnit;
  if (ticks % kTicksPerUnit < 0)
    --units;
  ResultTicks(ctx, units * kTicksPerUnit);
}

void ToInteger(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t ticks;
  if (Ticks(ctx, argv[0], ticks))
    sqlite3_result_int64(ctx, static_cast<int64_t>(money::DivideRounded(ticks, kTicksPerUnit)));
}

void ToText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  int64_t ticks;
  if (!Ticks(ctx, argv[0], ticks))
    return;
  const std::string text = money::Text(ticks);
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// Decimal digits of `v` with `places` of them after the point.
std::string WideText(Wide v, int places) {
  const bool negative = v < 0;
  std::string digits;
  do {
    const int d = static_cast<int>(v % 10);
    digits.insert(digits.begin(), static_cast<char>('0' + (d < 0 ? -d : d)));
    v /= 10;
  } while (v != 0);
  if (places > 0) {
    if (digits.size() <= static_cast<size_t>(places))
      digits.insert(0, static_cast<size_t>(places) - digits.size() + 1, '0');
    digits.insert(digits.size() - static_cast<size_t>(places), 1, '.');
  }
  return negative ? "-" + digits : digits;
}

}  // namespace

bool Scaled(const Exact& x, std::string& literal, Wide& whole) {
  if (x.scale <= money::kPlaces) {
    if (!money::Rescale(x.mantissa, x.scale, money::kPlaces, whole))
      return false;
    literal = WideText(whole, 0);
    return true;
  }
  literal = WideText(x.mantissa, x.scale - money::kPlaces);
  return false;
}

namespace {

void Comparable(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Exact x;
  if (!Operands(ctx, argv, 1, 0, &x))
    return;
  std::string literal;
  Wide whole;
  if (Scaled(x, literal, whole) && whole >= std::numeric_limits<int64_t>::min() &&
      whole <= std::numeric_limits<int64_t>::max())
    return sqlite3_result_int64(ctx, static_cast<int64_t>(whole));
  if (literal.empty())
    literal = WideText(x.mantissa, 0) + "e" + std::to_string(money::kPlaces - x.scale);
  double d = 0;
  std::from_chars(literal.data(), literal.data() + literal.size(), d);
  sqlite3_result_double(ctx, d);
}

struct Average {
  Wide sum;
  int64_t count;
};

// SQLite aligns an aggregate's memory to 8 bytes only, and the 128-bit sum
// needs 16: the state is copied in and out rather than used in place.  The
// memory starts zeroed, which is the empty state.
void AverageStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
    return;
  void* state = sqlite3_aggregate_context(ctx, sizeof(Average));
  if (!state)
    return sqlite3_result_error_nomem(ctx);
  int64_t ticks;
  if (!Ticks(ctx, argv[0], ticks))
    return;
  Average a;
  std::memcpy(&a, state, sizeof a);
  a.sum += ticks;
  ++a.count;
  std::memcpy(state, &a, sizeof a);
}

void AverageFinal(sqlite3_context* ctx) {
  void* state = sqlite3_aggregate_context(ctx, 0);
  Average a{};
  if (state)
    std::memcpy(&a, state, sizeof a);
  if (a.count == 0)
    return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, static_cast<int64_t>(money::DivideRounded(a.sum, a.count)));
}

}  // namespace

int RegisterMoneyFunctions(sqlite3* db) {
  static const char kAdd = '+', kSubtract = '-', kMultiply = '*', kDivide = '/', kModulo = '%';
  struct Function {
    const char* name;
    int args;
    const char* op;
    void (*call)(sqlite3_context*, int, sqlite3_value**);
  };
  static const Function kFunctions[] = {
      {"kx4_madd", 3, &kAdd, Binary},        {"kx4_msub", 3, &kSubtract, Binary},
      {"kx4_mmul", 3, &kMultiply, Binary},   {"kx4_mdiv", 3, &kDivide, Binary},
      {"kx4_mmod", 3, &kModulo, Binary},     {"kx4_mneg", 1, nullptr, Negate},
      {"kx4_tomoney", 1, nullptr, ToMoney},  {"kx4_tomoney", 2, nullptr, ToMoney},
      {"kx4_mround", 2, nullptr, Round},     {"kx4_mround", 3, nullptr, Round},
      {"kx4_mceiling", 1, nullptr, Ceiling}, {"kx4_mfloor", 1, nullptr, Floor},
      {"kx4_mtoint", 1, nullptr, ToInteger}, {"kx4_mtext", 1, nullptr, ToText},
      {"kx4_mcmp", 1, nullptr, Comparable},
  };
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  for (const Function& f : kFunctions) {
    const int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, const_cast<char*>(f.op),
                                              f.call, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
      return rc;
  }
  return sqlite3_create_function_v2(db, "kx4_mavg", 1, flags, nullptr, nullptr, AverageStep,
                                    AverageFinal, nullptr);
}

}  // namespace kx4::ado::sqlite
