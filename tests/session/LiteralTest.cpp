#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "session/Common.h"
#include "support/GermanLocale.h"
#include "support/TempDir.h"

namespace kx4 {
namespace {

TEST(QuoteSQL, DoublesApostrophesAndWritesEmptyAsNull) {
  EXPECT_EQ(QuoteSQL("O'Brien"), "N'O''Brien'");
  EXPECT_EQ(QuoteSQL("''"), "N''''''");
  EXPECT_EQ(QuoteSQL("Müller; DROP"), "N'Müller; DROP'");
  EXPECT_EQ(QuoteSQL(""), "NULL");
  EXPECT_EQ(QuoteSQL("", true), "NULL");
}

TEST(QuoteSQL, PatternEscapesUnderscoreAndBracketOnly) {
  EXPECT_EQ(QuoteSQL("50%_off[1]", true), "N'50%[_]off[[]1]%'");
  EXPECT_EQ(QuoteSQL("O'B_", true), "N'O''B[_]%'");
  // BuildLikePattern itself leaves apostrophes to its caller.
  EXPECT_EQ(BuildLikePattern("a_b[c]"), "N'a[_]b[[]c]%'");
  EXPECT_EQ(BuildLikePattern(""), "N'%'");
}

TEST(DateToSQL, WritesTheSmalldatetimeCast) {
  EXPECT_EQ(DateToSQL(DateTime::FromCivil(2026, 12, 7, 22, 6, 29)).ToString(),
            "CAST('Dec 07, 2026 22:06:29' AS smalldatetime)");
  EXPECT_EQ(DateToSQL(DateTime::FromCivil(2000, 1, 1)).ToString(),
            "CAST('Jan 01, 2000 00:00:00' AS smalldatetime)");
}

TEST(DateToSQL, MonthStaysEnglishUnderAGermanLocale) {
  test::TempDir folder;
  if (!test::UseGermanLocale(folder))
    GTEST_SKIP() << "no German locale and none could be built";
  std::tm december{};
  december.tm_year = 126;
  december.tm_mon = 11;
  december.tm_mday = 7;
  char month[16];
  std::strftime(month, sizeof month, "%b", &december);
  std::string literal = DateToSQL(DateTime::FromCivil(2026, 12, 7, 22, 6, 29)).ToString();
  std::setlocale(LC_ALL, "C");
  ::unsetenv("LOCPATH");
  ASSERT_STREQ(month, "Dez") << "the locale did not take effect";
  EXPECT_EQ(literal, "CAST('Dec 07, 2026 22:06:29' AS smalldatetime)");
}

}  // namespace
}  // namespace kx4
