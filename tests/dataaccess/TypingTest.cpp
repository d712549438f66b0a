// How typed statements are rendered for each engine, and the exact decimal
// arithmetic that money follows.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "dataaccess/Money.h"
#include "dataaccess/dialect/Analyzer.h"
#include "dataaccess/dialect/LikeRange.h"
#include "dataaccess/postgres/PgDialect.h"
#include "dataaccess/sqlite/SqliteConnection.h"

namespace kx4::ado {
namespace {

using dialect::ValueKind;

// The columns the statements below name, as both engines' catalogues have
// them.
template <typename Catalogue>
void Describe(Catalogue& c) {
  c.Add("tblUsers", "UserId", ValueKind::kInteger);
  c.Add("tblUsers", "Name", ValueKind::kText);
  c.Add("tblUsers", "UseQuota", ValueKind::kInteger, true);
  c.Add("tblUsers", "QuotaRemaining", ValueKind::kMoney);
  c.Add("tblPrintJobs", "UserId", ValueKind::kInteger);
  c.Add("tblPrintJobs", "Pages", ValueKind::kInteger);
  c.Add("tblPrintJobs", "CostPerUnit", ValueKind::kMoney);
  c.Add("tblPrintJobs", "DatePrinted", ValueKind::kDate);
}

class SqliteTyping : public ::testing::Test {
 protected:
  SqliteTyping() { Describe(catalog_); }
  const dialect::Statement& One(std::string_view sql, std::vector<ValueKind> params = {}) {
    params_ = std::move(params);
    const auto& statements = translator_.Translate(sql, params_);
    EXPECT_EQ(statements.size(), 1u);
    return statements.front();
  }
  sqlite::Catalog catalog_;
  sqlite::SqliteHooks hooks_{catalog_};
  dialect::Translator translator_{hooks_};
  std::vector<ValueKind> params_;
};

TEST_F(SqliteTyping, MoneyComputesOnTenThousandths) {
  const auto& s =
      One("SELECT QuotaRemaining * 2 AS Q, AVG(QuotaRemaining) FROM tblUsers "
          "WHERE QuotaRemaining > 2 AND QuotaRemaining <> -0.5 AND QuotaRemaining < 1.23456");
  EXPECT_EQ(s.sql,
            "SELECT kx4_mmul(QuotaRemaining , 2, 1) AS Q, kx4_mavg(QuotaRemaining) FROM tblUsers "
            "WHERE QuotaRemaining > 20000 AND QuotaRemaining <> -5000 AND QuotaRemaining < "
            "12345.6");
  EXPECT_EQ(s.columns.items, (std::vector<ValueKind>{ValueKind::kMoney, ValueKind::kMoney}));
  EXPECT_EQ(One("UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = 5 AND "
                "QuotaRemaining >= ?",
                {ValueKind::kMoney, ValueKind::kInteger})
                .sql,
            "UPDATE tblUsers SET QuotaRemaining = kx4_msub(QuotaRemaining , ?, 3) WHERE UserId = 5 "
            "AND QuotaRemaining >= (? * 10000)");
  EXPECT_EQ(One("INSERT INTO tblUsers (Name, QuotaRemaining) VALUES (N'a', 1.5), (N'b', ?)",
                {ValueKind::kText})
                .sql,
            "INSERT INTO tblUsers (Name, QuotaRemaining) VALUES ('a', 15000), ('b', "
            "kx4_tomoney(?))");
  EXPECT_EQ(One("SELECT P.CostPerUnit * 1.15 + R.QuotaRemaining FROM tblPrintJobs P "
                "INNER JOIN tblUsers R ON R.UserId = P.UserId")
                .sql,
            "SELECT kx4_madd(kx4_mmul(P.CostPerUnit , '1.15', 1) , R.QuotaRemaining, 3) FROM "
            "tblPrintJobs P INNER JOIN tblUsers R ON R.UserId = P.UserId");
}

TEST_F(SqliteTyping, MoneyWhereNoMoneyIsKnownIsAnApproximateNumber) {
  EXPECT_EQ(One("SELECT SQRT(QuotaRemaining), QuotaRemaining * 1.5e0 FROM tblUsers").sql,
            "SELECT SQRT((QuotaRemaining / 10000.0)), (QuotaRemaining / 10000.0) * 1.5e0 FROM "
            "tblUsers");
  // The legacy outer join is not understood; what is around it still is.
  EXPECT_EQ(One("SELECT R.QuotaRemaining + 1 FROM tblPrintJobs P, tblUsers R WHERE P.UserId *= "
                "R.UserId AND R.QuotaRemaining > 1.5")
                .sql,
            "SELECT kx4_madd(R.QuotaRemaining , 1, 1) FROM tblPrintJobs P, tblUsers R WHERE "
            "P.UserId *= R.UserId AND R.QuotaRemaining > 15000");
  // A table the catalogue does not know: the money column's name decides.
  EXPECT_EQ(One("SELECT QuotaRemaining / 4 FROM SomeView").sql,
            "SELECT kx4_mdiv(QuotaRemaining , 4, 1) FROM SomeView");
}

TEST_F(SqliteTyping, ScopesResolveAliasesDerivedTablesAndOuterQueries) {
  const auto& s =
      One("SELECT T.Total * 2 AS D, T.UserId, (SELECT MAX(X.QuotaRemaining) FROM tblUsers X WHERE "
          "X.UserId = T.UserId) AS M FROM (SELECT UserId, SUM(CostPerUnit) AS Total FROM "
          "tblPrintJobs GROUP BY UserId) T ORDER BY D");
  EXPECT_EQ(s.sql.substr(0, 31), "SELECT kx4_mmul(T.Total , 2, 1)");
  EXPECT_EQ(s.columns.items,
            (std::vector<ValueKind>{ValueKind::kMoney, ValueKind::kInteger, ValueKind::kMoney}));
  // A star stands for any number of columns; those after it count from the end.
  const auto& star = One("SELECT *, QuotaRemaining * 2 AS D FROM tblUsers");
  EXPECT_EQ(star.columns.Column(8, 9), ValueKind::kMoney);
  EXPECT_EQ(star.columns.Column(3, 9), ValueKind::kUnknown);
}

TEST_F(SqliteTyping, StatementsWithoutMoneyAreLeftAsTheyAre) {
  const auto& s = One("SELECT Name, UserId + 1 FROM tblUsers WHERE UserId > 2");
  EXPECT_EQ(s.sql, "SELECT Name, UserId + 1 FROM tblUsers WHERE UserId > 2");
  EXPECT_TRUE(s.columns.items.empty());
  // Texts joined with "+" are typed, and joined as texts.
  EXPECT_EQ(One("SELECT Name + N' (' + Name + N')', UserId + 1 FROM tblUsers").sql,
            "SELECT Name || ' (' || Name || ')', UserId + 1 FROM tblUsers");
}

TEST_F(SqliteTyping, NestingBeyondTypingIsRefusedAndGarbageSurvives) {
  std::string deep = "SELECT ";
  for (int i = 0; i < 100000; ++i)
    deep += "(";
  deep += "QuotaRemaining";
  for (int i = 0; i < 100000; ++i)
    deep += ")";
  deep += " FROM tblUsers";
  try {
    translator_.Translate(deep);
    ADD_FAILURE() << "no error";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Errors().front().NativeError, 191);
  }
  EXPECT_FALSE(One("SELECT QuotaRemaining * FROM WHERE ) ( CASE CAST(").sql.empty());
  EXPECT_FALSE(One("SELECT QuotaRemaining FROM (SELECT , FROM) T WHERE IN (").sql.empty());
}

TEST(PgTyping, MoneyResultsAreCastToMoney) {
  dialect::Catalogue catalogue;
  Describe(catalogue);
  pg::PgTranslator translator;
  translator.SetCatalogue(&catalogue);
  const std::vector<ValueKind> money{ValueKind::kMoney};
  auto one = [&](std::string_view sql, std::span<const ValueKind> params = {}) {
    return translator.Translate(sql, false, params).statements.front().text;
  };
  EXPECT_EQ(one("SELECT AVG(QuotaRemaining) AS A, QuotaRemaining FROM tblUsers WHERE "
                "QuotaRemaining > 2"),
            "SELECT CAST(AVG(QuotaRemaining) AS currency) AS A, QuotaRemaining FROM tblUsers "
            "WHERE QuotaRemaining > 2");
  EXPECT_EQ(one("UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UserId = 5", money),
            "UPDATE tblUsers SET QuotaRemaining = CAST(QuotaRemaining - $1 AS currency) WHERE "
            "UserId = 5");
  EXPECT_EQ(one("SELECT ROUND(QuotaRemaining, 2, 1), ROUND(QuotaRemaining, 2, 0) FROM tblUsers"),
            "SELECT CAST(trunc(QuotaRemaining, 2 ) AS currency), CAST(ROUND(QuotaRemaining, 2 ) "
            "AS currency) FROM tblUsers");
  EXPECT_EQ(one("SELECT ? AS Amount", money), "SELECT CAST($1 AS currency) AS Amount");
  EXPECT_EQ(one("SELECT CAST(Name AS money) FROM tblUsers"),
            "SELECT CAST(Name AS currency) FROM tblUsers");
}

// A LIKE on a name whose pattern begins with characters to match also tests
// the key range every match lies in, which the name's index serves.
TEST_F(SqliteTyping, PrefixLikeOnANameTestsItsKeyRange) {
  EXPECT_EQ(One("SELECT UserId FROM tblUsers WHERE UPPER(Name) LIKE N'AB[_]C%' AND UserId > 1").sql,
            "SELECT UserId FROM tblUsers WHERE (Name >= 'AB_C' COLLATE KX4_CI AND Name < 'AB_D' "
            "COLLATE KX4_CI AND UPPER(Name) LIKE 'AB[_]C%') AND UserId > 1");
  EXPECT_EQ(One("SELECT UserId FROM tblUsers R WHERE R.Name LIKE 'o''b z %'").sql,
            "SELECT UserId FROM tblUsers R WHERE (R.Name >= 'O''B Z' COLLATE KX4_CI AND R.Name < "
            "'O''B [' COLLATE KX4_CI AND R.Name LIKE 'o''b z %')");
  // No range: a leading wildcard or class, NOT LIKE, an escape character of
  // the statement's own, a column that holds no text.
  for (const char* plain :
       {"SELECT UserId FROM tblUsers WHERE UPPER(Name) LIKE N'%AB'",
        "SELECT UserId FROM tblUsers WHERE UPPER(Name) LIKE N'[a-c]B%'",
        "SELECT UserId FROM tblUsers WHERE UPPER(Name) NOT LIKE N'AB%'",
        "SELECT UserId FROM tblUsers WHERE UPPER(Name) LIKE N'AB!%%' ESCAPE '!'",
        "SELECT UserId FROM tblUsers WHERE UserId LIKE '1%'"})
    EXPECT_EQ(One(plain).sql.find(">="), std::string::npos) << plain;
}

TEST(PgTyping, PrefixLikeOnANameTestsTheRangeOfItsKey) {
  dialect::Catalogue catalogue;
  Describe(catalogue);
  catalogue.Add("tblPrintJobs", "NetworkUser", ValueKind::kTextCi);
  pg::PgTranslator translator;
  translator.SetCatalogue(&catalogue);
  auto one = [&](std::string_view sql) {
    return translator.Translate(sql, false).statements.front().text;
  };
  EXPECT_EQ(one("SELECT UserId FROM tblPrintJobs P WHERE LOWER(P.NetworkUser) LIKE N'jo%'"),
            "SELECT UserId FROM tblPrintJobs P WHERE (kx4_key(P.NetworkUser) >= 'JO' AND "
            "kx4_key(P.NetworkUser) < 'JP' AND kx4_upper(kx4_lower(P.NetworkUser)) LIKE "
            "kx4_upper('jo%'))");
  // Lower-cased, a capital I with a dot reads "i": the range stops before it.
  EXPECT_EQ(one("SELECT UserId FROM tblPrintJobs WHERE LOWER(NetworkUser) LIKE N'ki%'"),
            "SELECT UserId FROM tblPrintJobs WHERE (kx4_key(NetworkUser) >= 'K' AND "
            "kx4_key(NetworkUser) < 'L' AND kx4_upper(kx4_lower(NetworkUser)) LIKE "
            "kx4_upper('ki%'))");
  // Plain text has no key index.
  EXPECT_EQ(one("SELECT UserId FROM tblUsers WHERE Name LIKE N'AB%'"),
            "SELECT UserId FROM tblUsers WHERE kx4_upper(Name) LIKE kx4_upper('AB%')");
}

// The range's bounds: keys of the leading characters, and past them.
TEST(PrefixKeyRange, BoundsEveryMatchingKey) {
  std::string low, high;
  ASSERT_TRUE(dialect::PrefixKeyRange("abz%", false, low, high));
  EXPECT_EQ(low + " " + high, "'ABZ' 'AB['");
  ASSERT_TRUE(dialect::PrefixKeyRange("x[[]y[%]", false, low, high));
  EXPECT_EQ(low + " " + high, "'X[Y%' 'X[Y&'");
  // Trailing blanks are no part of a key.
  ASSERT_TRUE(dialect::PrefixKeyRange("a@  _", false, low, high));
  EXPECT_EQ(low + " " + high, "'A@' 'AA'");
  // The character after A with macron is its lower case, whose key is A with
  // macron again: the bound is the one after, A with breve.
  ASSERT_TRUE(dialect::PrefixKeyRange("\xc4\x81%", false, low, high));
  EXPECT_EQ(low + " " + high, "'\xc4\x80' '\xc4\x82'");
  ASSERT_TRUE(dialect::PrefixKeyRange("\xc3\xa9t\xc3\xa9%", false, low, high));
  EXPECT_EQ(low + " " + high, "'\xc3\x89T\xc3\x89' '\xc3\x89T\xc3\x8a'");
  for (const char* none : {"%a", "_a", "[^a]b", "   %", ""})
    EXPECT_FALSE(dialect::PrefixKeyRange(none, false, low, high)) << none;
  EXPECT_FALSE(dialect::PrefixKeyRange("ib%", true, low, high));
  ASSERT_TRUE(dialect::PrefixKeyRange("ib%", false, low, high));
}

TEST(MoneyArithmetic, ParsesAndRoundsHalfAwayFromZero) {
  money::Exact x;
  ASSERT_TRUE(money::ParseExact(" -12.34500 ", x));
  EXPECT_TRUE(x.mantissa == -1234500 && x.scale == 5);
  ASSERT_TRUE(money::ParseExact("5e-05", x));
  EXPECT_TRUE(x.mantissa == 5 && x.scale == 5);
  ASSERT_TRUE(money::ParseExact("1.5E3", x));
  EXPECT_TRUE(x.mantissa == 15 && x.scale == -2);
  for (const char* bad : {"", ".", "-", "1e", "1.2.3", "12a", "1e+", "0x10"})
    EXPECT_FALSE(money::ParseExact(bad, x)) << bad;
  EXPECT_FALSE(money::ParseExact(std::string(37, '9'), x));

  int64_t ticks = 0;
  const auto to_ticks = [&](const char* text, int keep = 4) {
    money::Exact v;
    EXPECT_TRUE(money::ParseExact(text, v)) << text;
    EXPECT_TRUE(money::ToTicks(v, ticks, keep)) << text;
    return ticks;
  };
  EXPECT_EQ(to_ticks("0.00005"), 1);
  EXPECT_EQ(to_ticks("-0.00005"), -1);
  EXPECT_EQ(to_ticks("0.000049999"), 0);
  EXPECT_EQ(to_ticks("1.005", 2), 10100);
  EXPECT_EQ(to_ticks("-1.005", 2), -10100);
  EXPECT_EQ(to_ticks("-922337203685477.5808"), std::numeric_limits<int64_t>::min());
  money::Exact over;
  ASSERT_TRUE(money::ParseExact("922337203685477.58075", over));
  EXPECT_FALSE(money::ToTicks(over, ticks));
  ASSERT_TRUE(money::ParseExact("1e40", over));
  EXPECT_FALSE(money::ToTicks(over, ticks));

  EXPECT_TRUE(money::DivideRounded(5, 2) == 3 && money::DivideRounded(-5, 2) == -3 &&
              money::DivideRounded(5, -2) == -3 && money::DivideRounded(7, 3) == 2);
  money::Exact from_double;
  ASSERT_TRUE(money::ExactFromDouble(0.1 + 0.2, from_double));  // 15 digits: 0.3
  EXPECT_TRUE(money::ToTicks(from_double, ticks) && ticks == 3000);
  EXPECT_EQ(money::Text(std::numeric_limits<int64_t>::min()), "-922337203685477.5808");
  EXPECT_EQ(money::Text(5), "0.0005");
}

}  // namespace
}  // namespace kx4::ado
