#include <kx4data/RuntimeError.h>
#include <kx4data/Variant.h>

#include <gtest/gtest.h>

namespace kx4 {
namespace {

TEST(Variant, TypeCodes) {
  EXPECT_EQ(Variant().VarType(), vbEmpty);
  EXPECT_EQ(Variant::Null().VarType(), vbNull);
  EXPECT_EQ(Variant(int16_t{1}).VarType(), vbInteger);
  EXPECT_EQ(Variant(1).VarType(), vbLong);
  EXPECT_EQ(Variant(1.0f).VarType(), vbSingle);
  EXPECT_EQ(Variant(1.0).VarType(), vbDouble);
  EXPECT_EQ(Variant(Currency()).VarType(), vbCurrency);
  EXPECT_EQ(Variant(DateTime()).VarType(), vbDate);
  EXPECT_EQ(Variant("x").VarType(), vbString);
  EXPECT_EQ(Variant(true).VarType(), vbBoolean);
  EXPECT_EQ(Variant(uint8_t{1}).VarType(), vbByte);
  EXPECT_EQ(Variant(VariantArray{}).VarType(), vbArray + vbVariant);
}

TEST(Variant, WholeNumberConversionsRoundHalfToEvenAndOverflowLoudly) {
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);
  EXPECT_EQ(Variant(3.5).ToInteger(), 4);
  EXPECT_EQ(Variant(-2.5).ToLong(), -2);
  EXPECT_EQ(Variant(Currency::Parse("2.5")).ToInteger(), 2);
  EXPECT_EQ(Variant(Currency::Parse("-3.5")).ToLong(), -4);
  EXPECT_EQ(Variant(" 42 ").ToLong(), 42);
  EXPECT_EQ(Variant(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToLong(), 0);
  EXPECT_THROW(Variant(32768).ToInteger(), RuntimeError);
  EXPECT_THROW(Variant(1e10).ToLong(), RuntimeError);
  EXPECT_THROW(Variant(256).ToByte(), RuntimeError);
  EXPECT_THROW(Variant("12x").ToLong(), RuntimeError);
  EXPECT_THROW(Variant("0x10").ToLong(), RuntimeError);
  EXPECT_THROW(Variant("").ToLong(), RuntimeError);
  EXPECT_THROW(Variant::Null().ToLong(), RuntimeError);
}

TEST(Variant, TextForms) {
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(false).ToString(), "False");
  EXPECT_EQ(Variant(int16_t{15}).ToString(), "15");
  EXPECT_EQ(Variant(0.1).ToString(), "0.1");
  EXPECT_EQ(Variant(1e20).ToString(), "1E+20");
  EXPECT_EQ(Variant(0.1f).ToString(), "0.1");
  EXPECT_EQ(Variant(Currency::Parse("0.30")).ToString(), "0.3");
  EXPECT_EQ(Variant().ToString(), "");
  EXPECT_THROW(Variant::Null().ToString(), RuntimeError);
  EXPECT_THROW(Variant(VariantArray{}).ToString(), RuntimeError);
}

TEST(Variant, BooleanAndDateConversions) {
  EXPECT_TRUE(Variant("true").ToBoolean());
  EXPECT_FALSE(Variant("False").ToBoolean());
  EXPECT_TRUE(Variant("-1").ToBoolean());
  EXPECT_TRUE(Variant(int16_t{1}).ToBoolean());
  EXPECT_FALSE(Variant().ToBoolean());
  EXPECT_THROW(Variant("yes").ToBoolean(), RuntimeError);
  EXPECT_EQ(Variant("Mar 05, 2026").ToDate(), DateTime::FromCivil(2026, 3, 5));
  EXPECT_EQ(Variant(2.5).ToDate(), DateTime::FromCivil(1900, 1, 1, 12));
  EXPECT_THROW(Variant("soon").ToDate(), RuntimeError);
}

TEST(Variant, ArraysKeepTheirLowerBound) {
  VariantArray one_based({Variant("a"), Variant::Null(), Variant(3)}, 1);
  Variant v(one_based);
  ASSERT_TRUE(v.IsArray());
  EXPECT_EQ(v.Array().LBound(), 1);
  EXPECT_EQ(v.Array().UBound(), 3);
  EXPECT_EQ(v.Array()[1].ToString(), "a");
  EXPECT_TRUE(v.Array()[2].IsNull());
  EXPECT_THROW(v.Array()[0], RuntimeError);
  EXPECT_THROW(v.Array()[4], RuntimeError);
  Variant copy = v;
  EXPECT_EQ(copy, v);
  EXPECT_FALSE(Variant(1) == Variant(int16_t{1}));
}

TEST(Variant, IsNumeric) {
  EXPECT_TRUE(Variant("1.5").IsNumeric());
  EXPECT_TRUE(Variant().IsNumeric());
  EXPECT_FALSE(Variant("abc").IsNumeric());
  EXPECT_FALSE(Variant::Null().IsNumeric());
  EXPECT_FALSE(Variant(DateTime()).IsNumeric());
}

}  // namespace
}  // namespace kx4
