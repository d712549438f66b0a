#include "variant/Utf8.h"

#include <gtest/gtest.h>

namespace kx4 {
namespace {

TEST(Utf8, DecodesOnlyWellFormedShortestSequences) {
  auto decodes = [](std::string_view s) {
    size_t i = 0;
    char32_t cp;
    return DecodeUtf8(s, i, cp) && i == s.size();
  };
  EXPECT_TRUE(decodes("\xc3\xa9"));
  EXPECT_TRUE(decodes("\xf0\x9f\x98\x80"));
  EXPECT_FALSE(decodes("\xc0\xaf"));          // overlong "/"
  EXPECT_FALSE(decodes("\xed\xa0\x80"));      // a surrogate
  EXPECT_FALSE(decodes("\xe6\x97"));          // truncated
  EXPECT_FALSE(decodes("\xf4\x90\x80\x80"));  // beyond U+10FFFF
  size_t i = 0;
  EXPECT_EQ(NextChar("\xff"
                     "a",
                     i),
            0xFFu);  // a stray byte stands for itself
  EXPECT_EQ(i, 1u);
}

TEST(Utf8, OneCaseMappingForEveryLayer) {
  EXPECT_EQ(UpperText("lpt1: ñandú αβγ ж"), "LPT1: ÑANDÚ ΑΒΓ Ж");
  EXPECT_EQ(LowerText("ÀÉÎ ΣΩ ЖЁ"), "àéî σω жё");
  EXPECT_EQ(UpperText("ς"), "Σ");
  EXPECT_EQ(UpperText("a\xff"
                      "b"),
            "A\xff"
            "B");
  std::string round;
  for (char32_t c : {U'é', U'Ł', U'ф', U'日'})
    AppendUtf8(c, round);
  EXPECT_EQ(round, "éŁф日");
}

// U+04C0-04CF breaks the block's even-capital pattern: palochka's forms sit
// at both ends, and the pairs between start on an odd code point.
TEST(Utf8, CyrillicPalochkaBlockPairsAsItsLetters) {
  EXPECT_EQ(UpperChar(0x4CF), 0x4C0u);
  EXPECT_EQ(LowerChar(0x4C0), 0x4CFu);
  for (char32_t capital = 0x4C1; capital <= 0x4CD; capital += 2) {
    EXPECT_EQ(UpperChar(capital + 1), capital) << std::hex << static_cast<uint32_t>(capital);
    EXPECT_EQ(LowerChar(capital), capital + 1) << std::hex << static_cast<uint32_t>(capital);
  }
  for (char32_t c = 0x4C0; c <= 0x4CF; ++c) {
    EXPECT_EQ(UpperChar(UpperChar(c)), UpperChar(c)) << std::hex << static_cast<uint32_t>(c);
    EXPECT_EQ(UpperChar(LowerChar(c)), UpperChar(c)) << std::hex << static_cast<uint32_t>(c);
    EXPECT_EQ(LowerChar(UpperChar(c)), LowerChar(c)) << std::hex << static_cast<uint32_t>(c);
  }
  EXPECT_EQ(UpperText("ӂӏ"), "ӁӀ");
  EXPECT_EQ(LowerText("ӁӀ"), "ӂӏ");
  // The neighbours keep their even capitals.
  EXPECT_EQ(UpperChar(0x4BF), 0x4BEu);
  EXPECT_EQ(UpperChar(0x4D1), 0x4D0u);
}

TEST(Utf8, QuotedDoublesOnlyItsOwnQuote) {
  EXPECT_EQ(Quoted("", '\''), "''");
  EXPECT_EQ(Quoted("O'Brien \"x\"", '\''), "'O''Brien \"x\"'");
  EXPECT_EQ(Quoted("a\"\"b'", '"'), "\"a\"\"\"\"b'\"");
}

}  // namespace
}  // namespace kx4
