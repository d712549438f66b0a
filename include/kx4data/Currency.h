// Money with four decimal places, held exactly as a count of ten-thousandths.
#ifndef KX4DATA_CURRENCY_H_
#define KX4DATA_CURRENCY_H_

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include <kx4data/Export.h>

namespace kx4 {

class KX4DATA_API Currency {
 public:
  static constexpr int64_t kScale = 10000;

  constexpr Currency() = default;

  // Exact: the value is `ticks` ten-thousandths.
  static constexpr Currency FromTicks(int64_t ticks) { return Currency(ticks); }
  // Whole units; throws RuntimeError (overflow) outside the range.
  static Currency FromInteger(int64_t units);
  // Rounds to the nearest ten-thousandth, ties to even; throws on overflow,
  // infinity and NaN.
  static Currency FromDouble(double value);
  // Same rounding from an extended-precision value.
  static Currency FromLongDouble(long double value);
  // Decimal text such as "-12.3456" (at most four decimals are kept, the rest
  // rounded half to even); throws RuntimeError (type mismatch) when not a number.
  static Currency Parse(std::string_view text);

  constexpr int64_t Ticks() const { return ticks_; }
  double ToDouble() const { return static_cast<double>(ticks_) / kScale; }
  long double ToLongDouble() const { return static_cast<long double>(ticks_) / kScale; }
  // Shortest decimal form: "0.3", "-12.3456", "5".
  std::string ToString() const;

  // Exact arithmetic; each throws RuntimeError (overflow) when the result
  // leaves the 64-bit range.
  Currency operator+(Currency other) const;
  Currency operator-(Currency other) const;
  Currency operator-() const;
  Currency operator*(int64_t factor) const;
  Currency& operator+=(Currency other) { return *this = *this + other; }
  Currency& operator-=(Currency other) { return *this = *this - other; }

  constexpr auto operator<=>(const Currency&) const = default;

 private:
  constexpr explicit Currency(int64_t ticks) : ticks_(ticks) {}
  int64_t ticks_ = 0;
};

}  // namespace kx4

#endif  // KX4DATA_CURRENCY_H_
