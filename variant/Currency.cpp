#include <kx4data/Currency.h>

#include <kx4data/RuntimeError.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace kx4 {
namespace {

[[noreturn]] void ThrowOverflow() {
  throw RuntimeError(kErrOverflow, "Overflow");
}

int64_t CheckedAdd(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r))
    ThrowOverflow();
  return r;
}

int64_t CheckedMul(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r))
    ThrowOverflow();
  return r;
}

// Rounds an extended-precision tick count to the nearest integer, ties to
// even, independent of the caller's floating-point rounding mode.
int64_t RoundTicks(long double ticks) {
  if (!std::isfinite(ticks))
    ThrowOverflow();
  long double whole = std::floor(ticks);
  long double frac = ticks - whole;
  if (frac > 0.5L || (frac == 0.5L && std::fmod(whole, 2.0L) != 0))
    whole += 1;
  // 2^63 is exactly representable; anything at or beyond it overflows.
  constexpr long double kLimit = 9223372036854775808.0L;
  if (whole >= kLimit || whole < -kLimit)
    ThrowOverflow();
  return static_cast<int64_t>(whole);
}

}  // namespace

Currency Currency::FromInteger(int64_t units) {
  return Currency(CheckedMul(units, kScale));
}

Currency Currency::FromDouble(double value) {
  return Currency(RoundTicks(static_cast<long double>(value) * kScale));
}

Currency Currency::FromLongDouble(long double value) {
  return Currency(RoundTicks(value * kScale));
}

Currency Currency::Parse(std::string_view text) {
  size_t i = 0, n = text.size();
  auto space = [&](size_t k) { return k < n && (text[k] == ' ' || text[k] == '\t'); };
  while (space(i))
    ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  int64_t ticks = 0;
  int digits = 0, decimals = 0;
  bool round_up = false, tie = false, beyond = false;
  bool seen_point = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (c == '.' && !seen_point) {
      seen_point = true;
      continue;
    }
    if (c < '0' || c > '9')
      break;
    ++digits;
    int d = c - '0';
    if (!seen_point || decimals < 4) {
      ticks = CheckedAdd(CheckedMul(ticks, 10), d);
      if (seen_point)
        ++decimals;
    } else if (decimals == 4) {
      // First dropped digit decides, later ones only break a tie.
      round_up = d > 5;
      tie = d == 5;
      ++decimals;
    } else if (d != 0) {
      beyond = true;
    }
  }
  while (space(i))
    ++i;
  if (digits == 0 || i != n) {
    // Exponent forms and the like: let the C library read them.
    std::string copy(text);
    char* end = nullptr;
    double v = std::strtod(copy.c_str(), &end);
    while (end && (*end == ' ' || *end == '\t'))
      ++end;
    if (digits == 0 || end == copy.c_str() || *end != '\0') {
      throw RuntimeError(kErrTypeMismatch, "Type mismatch");
    }
    return FromDouble(v);
  }
  for (int k = std::min(decimals, 4); k < 4; ++k)
    ticks = CheckedMul(ticks, 10);
  if (round_up || (tie && (beyond || ticks % 2 != 0)))
    ticks = CheckedAdd(ticks, 1);
  return Currency(negative ? -ticks : ticks);
}

std::string Currency::ToString() const {
  // Work on the magnitude in unsigned so that the most negative value prints.
  uint64_t mag = ticks_ < 0 ? 0 - static_cast<uint64_t>(ticks_) : static_cast<uint64_t>(ticks_);
  std::string out = ticks_ < 0 ? "-" : "";
  out += std::to_string(mag / kScale);
  uint64_t frac = mag % kScale;
  if (frac != 0) {
    std::string f = std::to_string(frac);
    f.insert(0, 4 - f.size(), '0');
    while (f.back() == '0')
      f.pop_back();
    out += "." + f;
  }
  return out;
}

Currency Currency::operator+(Currency other) const {
  return Currency(CheckedAdd(ticks_, other.ticks_));
}

Currency Currency::operator-(Currency other) const {
  int64_t r;
  if (__builtin_sub_overflow(ticks_, other.ticks_, &r))
    ThrowOverflow();
  return Currency(r);
}

Currency Currency::operator-() const {
  return Currency(0) - *this;
}

Currency Currency::operator*(int64_t factor) const {
  return Currency(CheckedMul(ticks_, factor));
}

}  // namespace kx4
