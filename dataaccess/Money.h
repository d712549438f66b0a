// Exact decimal arithmetic for money, defined once: a value is a 128-bit
// count of 10^-scale, every money result is rounded to four places half away
// from zero (as PostgreSQL rounds a numeric into numeric(19,4)), and a result
// outside the 64-bit count of ten-thousandths is an overflow.
#ifndef KX4DATA_DATAACCESS_MONEY_H_
#define KX4DATA_DATAACCESS_MONEY_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace kx4::ado::money {

__extension__ typedef __int128 Wide;

inline constexpr int kPlaces = 4;

// mantissa / 10^scale; scale may be negative (1e20 is {1, -20}).
struct Exact {
  Wide mantissa = 0;
  int scale = 0;
};

// Decimal text: [+-]digits[.digits][e[+-]digits], blanks around it allowed.
// False for anything else, or more than 36 significant digits.
bool ParseExact(std::string_view text, Exact& out);
// A double through its 15 significant digits, as PostgreSQL reads a float8
// into a numeric.  False for infinities and NaN.
bool ExactFromDouble(double value, Exact& out);

// 10^n for 0 <= n <= 38.
Wide Pow10(int n);
// num / den rounded half away from zero; den is not 0.
Wide DivideRounded(Wide num, Wide den);
// `value` (of scale `from`) at scale `to`, rounded half away from zero when
// places are dropped; false when it does not fit.
bool Rescale(Wide value, int from, int to, Wide& out);
// In ten-thousandths, rounded to `keep` places (at most four); false outside
// money's range.
bool ToTicks(const Exact& value, int64_t& ticks, int keep = kPlaces);

// "-12.3456": always four places, as numeric(19,4) prints.
std::string Text(int64_t ticks);

}  // namespace kx4::ado::money

#endif  // KX4DATA_DATAACCESS_MONEY_H_
