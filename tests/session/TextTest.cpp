#include "session/Text.h"

#include <gtest/gtest.h>

namespace kx4 {
namespace {

TEST(Text, TrimRemovesSpacesOnly) {
  EXPECT_EQ(TrimSpaces("  SRV1  "), "SRV1");
  EXPECT_EQ(TrimSpaces("\tx\t"), "\tx\t");
  EXPECT_EQ(TrimSpaces("   "), "");
}

TEST(Text, CaseMappingCoversAccentedAndPassesInvalidBytes) {
  // One character in, one out: ß has no single upper-case letter and stays.
  EXPECT_EQ(UCase("lpt1: élan straße"), "LPT1: ÉLAN STRAßE");
  EXPECT_EQ(UCase("ñandú"), "ÑANDÚ");
  EXPECT_EQ(LCase("ÀÉÎ Smith"), "àéî smith");
  std::string invalid =
      "a\xff"
      "b";
  EXPECT_EQ(UCase(invalid),
            "A\xff"
            "B");
  EXPECT_EQ(UCase("日本"), "日本");
}

TEST(Text, LengthCountsCharacters) {
  EXPECT_EQ(CharLength("abc"), 3u);
  EXPECT_EQ(CharLength("é日"), 2u);
  EXPECT_EQ(CharLength("\xe6\x97"), 2u);  // a truncated sequence counts its bytes
  EXPECT_EQ(CharLength(""), 0u);
}

}  // namespace
}  // namespace kx4
