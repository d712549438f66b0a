#include <kx4data/Currency.h>
#include <kx4data/RuntimeError.h>

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

namespace kx4 {
namespace {

TEST(Currency, RoundsDoublesToNearestTenThousandthTiesToEven) {
  EXPECT_EQ(Currency::FromDouble(0.05).Ticks(), 500);
  EXPECT_EQ(Currency::FromDouble(0.649299999).Ticks(), 6493);
  // 0.00005 is not a tie in binary: the double lies just above it.
  EXPECT_EQ(Currency::FromDouble(0.00005).Ticks(), 1);
  // Exact binary ties: 312.5 and 937.5 ticks.
  EXPECT_EQ(Currency::FromDouble(0.03125).Ticks(), 312);
  EXPECT_EQ(Currency::FromDouble(0.09375).Ticks(), 938);
  EXPECT_EQ(Currency::FromDouble(-0.03125).Ticks(), -312);
  EXPECT_EQ(Currency::FromLongDouble(0.03125L).Ticks(), 312);
}

TEST(Currency, RoundingIgnoresTheCallersRoundingMode) {
  std::fesetround(FE_UPWARD);
  EXPECT_EQ(Currency::FromDouble(0.03125).Ticks(), 312);
  EXPECT_EQ(Currency::FromDouble(1.2 / 10000).Ticks(), 1);
  std::fesetround(FE_TONEAREST);
}

TEST(Currency, ExactArithmetic) {
  Currency five_cents = Currency::Parse("0.05");
  EXPECT_EQ((five_cents * 6).ToString(), "0.3");
  // A sum of many tenths stays exact, unlike a double.
  Currency sum;
  for (int i = 0; i < 1000; ++i)
    sum += Currency::Parse("0.1");
  EXPECT_EQ(sum, Currency::FromInteger(100));
  EXPECT_EQ((Currency::FromInteger(1) - Currency::Parse("1.0001")).ToString(), "-0.0001");
}

TEST(Currency, OverflowIsAFailedCallNotAWrongValue) {
  Currency big = Currency::FromTicks(std::numeric_limits<int64_t>::max());
  EXPECT_THROW(big + Currency::FromTicks(1), RuntimeError);
  EXPECT_THROW(big * 2, RuntimeError);
  EXPECT_THROW(Currency::FromDouble(1e20), RuntimeError);
  EXPECT_THROW(Currency::FromDouble(std::nan("")), RuntimeError);
  EXPECT_THROW(-Currency::FromTicks(std::numeric_limits<int64_t>::min()), RuntimeError);
}

TEST(Currency, ParsesAndPrintsDecimalText) {
  EXPECT_EQ(Currency::Parse(" -12.3456 ").Ticks(), -123456);
  EXPECT_EQ(Currency::Parse("1.00005").Ticks(), 10000);   // tie to even
  EXPECT_EQ(Currency::Parse("1.00015").Ticks(), 10002);   // tie to even
  EXPECT_EQ(Currency::Parse("1.000051").Ticks(), 10001);  // above the tie
  EXPECT_EQ(Currency::Parse("2e2").Ticks(), 2000000);
  EXPECT_THROW(Currency::Parse("12abc"), RuntimeError);
  EXPECT_THROW(Currency::Parse(""), RuntimeError);
  EXPECT_EQ(Currency::FromTicks(std::numeric_limits<int64_t>::min()).ToString(),
            "-922337203685477.5808");
  EXPECT_EQ(Currency::FromInteger(5).ToString(), "5");
}

}  // namespace
}  // namespace kx4
