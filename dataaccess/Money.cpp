#include "dataaccess/Money.h"

#include <cstdio>
#include <limits>

#include "variant/Utf8.h"

namespace kx4::ado::money {
namespace {

constexpr int kMaxDigits = 36;

Wide Abs(Wide v) {
  return v < 0 ? -v : v;
}

}  // namespace

Wide Pow10(int n) {
  Wide p = 1;
  for (int i = 0; i < n; ++i)
    p *= 10;
  return p;
}

bool ParseExact(std::string_view text, Exact& out) {
  text = TrimWhitespace(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  Wide mantissa = 0;
  int digits = 0, scale = 0;
  bool any = false, point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9')
      break;
    any = true;
    if (mantissa == 0 && c == '0') {
      if (point)
        ++scale;
      continue;
    }
    if (++digits > kMaxDigits)
      return false;
    mantissa = mantissa * 10 + (c - '0');
    if (point)
      ++scale;
  }
  if (!any)
    return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
      exp_negative = text[i++] == '-';
    int exponent = 0;
    bool exp_digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      exp_digits = true;
      if (exponent < 100000)
        exponent = exponent * 10 + (text[i] - '0');
    }
    if (!exp_digits)
      return false;
    scale += exp_negative ? exponent : -exponent;
  }
  if (i != text.size())
    return false;
  out.mantissa = negative ? -mantissa : mantissa;
  out.scale = mantissa == 0 ? 0 : scale;
  return true;
}

bool ExactFromDouble(double value, Exact& out) {
  if (value != value || value == std::numeric_limits<double>::infinity() ||
      value == -std::numeric_limits<double>::infinity())
    return false;
  char buffer[40];
  // 15 significant digits: one before the point, 14 after.
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  // The C library may print its locale's decimal separator.
  for (char& c : buffer)
    if (c == ',')
      c = '.';
  return ParseExact(buffer, out);
}

Wide DivideRounded(Wide num, Wide den) {
  Wide q = num / den;
  const Wide rem = Abs(num % den);
  if (rem >= Abs(den) - rem)
    q += (num < 0) == (den < 0) ? 1 : -1;
  return q;
}

bool Rescale(Wide value, int from, int to, Wide& out) {
  if (value == 0 || from == to) {
    out = value;
    return true;
  }
  if (to > from) {
    const int n = to - from;
    if (n > 38)
      return false;
    return !__builtin_mul_overflow(value, Pow10(n), &out);
  }
  const int n = from - to;
  if (n > 38) {
    out = 0;  // far below half a unit of the last place kept
    return true;
  }
  out = DivideRounded(value, Pow10(n));
  return true;
}

bool ToTicks(const Exact& value, int64_t& ticks, int keep) {
  if (keep > kPlaces)
    keep = kPlaces;
  Wide kept;
  if (!Rescale(value.mantissa, value.scale, keep, kept) || !Rescale(kept, keep, kPlaces, kept))
    return false;
  if (kept < std::numeric_limits<int64_t>::min() || kept > std::numeric_limits<int64_t>::max())
    return false;
  ticks = static_cast<int64_t>(kept);
  return true;
}

std::string Text(int64_t ticks) {
  char buffer[32];
  const uint64_t magnitude =
      ticks < 0 ? 0 - static_cast<uint64_t>(ticks) : static_cast<uint64_t>(ticks);
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", ticks < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buffer;
}

}  // namespace kx4::ado::money
