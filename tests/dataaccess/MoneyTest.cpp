// Money in expressions: exact, four places, money-typed, and alike on both
// engines.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

Variant Money(const char* text) {
  return Variant(Currency::Parse(text));
}

class MoneyExpressions : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped())
      return;
    c_ = Connect();
    AddUser("Ann", "1.5", true);
    AddUser("Bob", "0.0001", false);
    AddUser("Cid", "-0.0002", true);
  }

  void AddUser(const char* name, const char* quota, bool use_quota) {
    Execute(c_,
            "INSERT INTO tblUsers (PinCode, Name, UseQuota, QuotaRemaining) VALUES (?, ?, ?, ?)",
            {std::string("pin-") + name, std::string(name),
             static_cast<int16_t>(use_quota ? -1 : 0), Currency::Parse(quota)});
  }

  // The first field of `sql`, with its type.
  Variant One(const std::string& sql, const std::vector<Variant>& values = {},
              int32_t* type = nullptr) {
    auto rs = Query(c_, sql, values);
    EXPECT_FALSE(rs->Eof()) << sql;
    if (type)
      *type = rs->Fields(0).Type();
    return rs->Eof() ? Variant() : rs->Fields(0).Value();
  }

  int32_t Count(const std::string& where, const std::vector<Variant>& values = {}) {
    return Scalar(c_, "SELECT COUNT(*) FROM tblUsers WHERE " + where, values).ToLong();
  }

  // That `sql` fails as a command with this native number and SQLSTATE.
  void ExpectFailure(const std::string& sql, int32_t native, const char* sql_state,
                     const std::vector<Variant>& values = {}) {
    const Failure f = Fails(c_, sql, values);
    EXPECT_EQ(f.hresult, ado::kErrCommandFailed) << sql;
    EXPECT_EQ(f.error.NativeError, native) << sql;
    EXPECT_EQ(f.error.SQLState, sql_state) << sql;
  }

  std::shared_ptr<ado::Connection> c_;
};

TEST_P(MoneyExpressions, AggregatesAndArithmeticStayMoney) {
  int32_t type = 0;
  EXPECT_EQ(One("SELECT AVG(QuotaRemaining) FROM tblUsers WHERE Name = N'Ann'", {}, &type),
            Money("1.5"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT SUM(DISTINCT QuotaRemaining) FROM tblUsers WHERE UseQuota = 1", {}, &type),
            Money("1.4998"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT QuotaRemaining * 2 AS Twice FROM tblUsers WHERE Name = N'Ann'", {}, &type),
            Money("3"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT MAX(QuotaRemaining) - MIN(QuotaRemaining) FROM tblUsers", {}, &type),
            Money("1.5002"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT -QuotaRemaining FROM tblUsers WHERE Name = N'Cid'"), Money("0.0002"));
  EXPECT_EQ(One("SELECT 10 - QuotaRemaining FROM tblUsers WHERE Name = N'Ann'"), Money("8.5"));
  EXPECT_EQ(One("SELECT QuotaRemaining + '0.25' FROM tblUsers WHERE Name = N'Ann'"), Money("1.75"));
  EXPECT_EQ(
      One("SELECT QuotaRemaining + ? FROM tblUsers WHERE Name = N'Ann'", {std::string("0.25")}),
      Money("1.75"));
  EXPECT_EQ(One("SELECT ? FROM tblUsers WHERE Name = N'Ann'", {Currency::Parse("2.5")}, &type),
            Money("2.5"));
  EXPECT_EQ(type, ado::adCurrency);
  // Text written to money is the amount it spells.
  Execute(c_, "UPDATE tblUsers SET QuotaRemaining = ? WHERE Name = N'Bob'", {std::string("2.25")});
  EXPECT_EQ(One("SELECT QuotaRemaining FROM tblUsers WHERE Name = N'Bob'"), Money("2.25"));
}

TEST_P(MoneyExpressions, ResultsRoundHalfAwayFromZeroToFourPlaces) {
  // Averages of 0.0001 and 0.0002, and of their negatives.
  AddUser("Dee", "0.0002", false);
  AddUser("Eve", "-0.0001", true);
  EXPECT_EQ(One("SELECT AVG(QuotaRemaining) FROM tblUsers WHERE Name IN (N'Bob', N'Dee')"),
            Money("0.0002"));
  EXPECT_EQ(One("SELECT AVG(QuotaRemaining) FROM tblUsers WHERE Name IN (N'Cid', N'Eve')"),
            Money("-0.0002"));
  const std::string ann = " FROM tblUsers WHERE Name = N'Ann'";
  EXPECT_EQ(One("SELECT QuotaRemaining / 3" + ann), Money("0.5"));
  EXPECT_EQ(One("SELECT QuotaRemaining / 7" + ann), Money("0.2143"));
  EXPECT_EQ(One("SELECT (QuotaRemaining / 7) * 7" + ann), Money("1.5001"));
  EXPECT_EQ(One("SELECT QuotaRemaining * QuotaRemaining * QuotaRemaining" + ann), Money("3.375"));
  EXPECT_EQ(One("SELECT 1 / QuotaRemaining" + ann), Money("0.6667"));
  EXPECT_EQ(One("SELECT QuotaRemaining / QuotaRemaining" + ann), Money("1"));
  EXPECT_EQ(One("SELECT QuotaRemaining * 1.15" + ann), Money("1.725"));
  EXPECT_EQ(One("SELECT QuotaRemaining + 0.00005" + ann), Money("1.5001"));
  EXPECT_EQ(One("SELECT QuotaRemaining - 0.00005 FROM tblUsers WHERE Name = N'Bob'"),
            Money("0.0001"));
  EXPECT_EQ(One("SELECT QuotaRemaining % 0.4" + ann), Money("0.3"));
  EXPECT_EQ(One("SELECT ROUND(QuotaRemaining * 1.15, 2)" + ann), Money("1.73"));
  EXPECT_EQ(One("SELECT ROUND(QuotaRemaining * 1.15, 2, 1)" + ann), Money("1.72"));
  EXPECT_EQ(One("SELECT ROUND(QuotaRemaining, 0)" + ann), Money("2"));
  EXPECT_EQ(One("SELECT CEILING(QuotaRemaining) + FLOOR(QuotaRemaining)" + ann), Money("3"));
  EXPECT_EQ(One("SELECT FLOOR(QuotaRemaining) FROM tblUsers WHERE Name = N'Cid'"), Money("-1"));
  int32_t type = 0;
  EXPECT_EQ(One("SELECT CAST(QuotaRemaining * 1.15 AS decimal(10,2))" + ann, {}, &type),
            Money("1.73"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT CAST(QuotaRemaining AS int)" + ann).ToLong(), 2);
  EXPECT_EQ(One("SELECT CAST(QuotaRemaining AS varchar(30))" + ann), Variant("1.5000"));
  EXPECT_EQ(One("SELECT CAST(N'2.71828' AS money)" + ann), Money("2.7183"));
}

TEST_P(MoneyExpressions, ComparisonsAreExact) {
  EXPECT_EQ(Count("QuotaRemaining > 2"), 0);
  EXPECT_EQ(Count("QuotaRemaining > 1"), 1);
  EXPECT_EQ(Count("QuotaRemaining = 1.5"), 1);
  EXPECT_EQ(Count("QuotaRemaining < 1.50001"), 3);
  EXPECT_EQ(Count("QuotaRemaining > 0.00009"), 2);
  EXPECT_EQ(Count("QuotaRemaining BETWEEN -1 AND 0.0001"), 2);
  EXPECT_EQ(Count("QuotaRemaining IN (1.5, 0.0001, 7)"), 2);
  EXPECT_EQ(Count("QuotaRemaining < -0.0001"), 1);
  EXPECT_EQ(Count("QuotaRemaining = '1.5'"), 1);
  EXPECT_EQ(Count("QuotaRemaining > ?", {int32_t{1}}), 1);
  EXPECT_EQ(Count("QuotaRemaining > ?", {std::string("0.00009")}), 2);
  EXPECT_EQ(Count("? < QuotaRemaining", {std::string("1.4999")}), 1);
  EXPECT_EQ(Count("QuotaRemaining IN (?, ?)", {std::string("1.5"), std::string("0.0001")}), 2);
  EXPECT_EQ(Count("QuotaRemaining >= ?", {Currency::Parse("0.0001")}), 2);
  EXPECT_EQ(Count("QuotaRemaining * 2 > 2.9"), 1);
  EXPECT_EQ(Count("QuotaRemaining > 1.4e0"), 1);
  EXPECT_EQ(Count("QuotaRemaining > (SELECT AVG(QuotaRemaining) FROM tblUsers)"), 1);
  EXPECT_EQ(Count("Active > QuotaRemaining"), 2);
}

TEST_P(MoneyExpressions, ConditionalsAndGroupsKeepMoney) {
  int32_t type = 0;
  EXPECT_EQ(One("SELECT SUM(CASE WHEN UseQuota = 1 THEN QuotaRemaining ELSE 1 END) FROM tblUsers",
                {}, &type),
            Money("2.4998"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT ISNULL(NULLIF(QuotaRemaining, 1.5), 2) FROM tblUsers WHERE Name = N'Ann'",
                {}, &type),
            Money("2"));
  EXPECT_EQ(type, ado::adCurrency);
  EXPECT_EQ(One("SELECT CASE QuotaRemaining WHEN 1.5 THEN 1 ELSE 0 END FROM tblUsers "
                "WHERE Name = N'Ann'")
                .ToLong(),
            1);
  auto rs = Query(c_,
                  "SELECT UseQuota, SUM(QuotaRemaining) AS Total FROM tblUsers GROUP BY UseQuota "
                  "HAVING SUM(QuotaRemaining) > 1 ORDER BY Total");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("Total").Value(), Money("1.4998"));
  rs = Query(c_, "SELECT Name FROM tblUsers ORDER BY QuotaRemaining * -1");
  EXPECT_EQ(rs->Fields(0).Value(), Variant("Ann"));
  rs = Query(c_,
             "SELECT T.Q * 2 AS D FROM (SELECT QuotaRemaining AS Q FROM tblUsers WHERE "
             "Name = N'Ann') T UNION ALL SELECT 1");
  EXPECT_EQ(rs->Fields(0).Type(), ado::adCurrency);
  EXPECT_EQ(rs->Fields(0).Value(), Money("3"));
  rs->MoveNext();
  EXPECT_EQ(rs->Fields(0).Value(), Money("1"));
}

TEST_P(MoneyExpressions, ApproximateAndUnknownContextsSeeUnits) {
  int32_t type = 0;
  EXPECT_DOUBLE_EQ(
      One("SELECT QuotaRemaining * 1.5e0 FROM tblUsers WHERE Name = N'Ann'", {}, &type).ToDouble(),
      2.25);
  EXPECT_EQ(type, ado::adDouble);
  EXPECT_DOUBLE_EQ(
      One("SELECT QuotaRemaining * ? FROM tblUsers WHERE Name = N'Ann'", {2.0}).ToDouble(), 3.0);
  EXPECT_DOUBLE_EQ(
      One("SELECT CAST(QuotaRemaining AS float) FROM tblUsers WHERE Name = N'Ann'").ToDouble(),
      1.5);
  EXPECT_DOUBLE_EQ(
      One("SELECT SIGN(QuotaRemaining - 2) FROM tblUsers WHERE Name = N'Ann'").ToDouble(), -1.0);
  EXPECT_EQ(One("SELECT N'Q: ' + Name + N'!' FROM tblUsers WHERE Name = N'Ann'"),
            Variant("Q: Ann!"));
}

TEST_P(MoneyExpressions, OverflowAndDivisionByZeroFail) {
  ExpectFailure("SELECT QuotaRemaining / 0 FROM tblUsers", 8134, "22012");
  Execute(c_, "UPDATE tblUsers SET QuotaRemaining = ? WHERE Name = N'Bob'",
          {Currency::FromTicks(std::numeric_limits<int64_t>::min())});
  EXPECT_EQ(Scalar(c_, "SELECT QuotaRemaining FROM tblUsers WHERE Name = N'Bob'"),
            Variant(Currency::FromTicks(std::numeric_limits<int64_t>::min())));
  ExpectFailure("SELECT QuotaRemaining - 1 FROM tblUsers WHERE Name = N'Bob'", 8115, "22003");
  ExpectFailure("SELECT SUM(QuotaRemaining) FROM tblUsers WHERE QuotaRemaining < 0", 8115, "22003");
  ExpectFailure("UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE Name = N'Bob'", 8115,
                "22003", {Currency::Parse("0.0001")});
  ExpectFailure("UPDATE tblUsers SET QuotaRemaining = 1000000000000000 WHERE Name = N'Ann'", 8115,
                "22003");
  EXPECT_EQ(Scalar(c_, "SELECT QuotaRemaining FROM tblUsers WHERE Name = N'Ann'"), Money("1.5"));
  EXPECT_EQ(Scalar(c_, "SELECT QuotaRemaining FROM tblUsers WHERE Name = N'Bob'"),
            Variant(Currency::FromTicks(std::numeric_limits<int64_t>::min())));
}

KX4_INSTANTIATE_ENGINES(MoneyExpressions);

}  // namespace
}  // namespace kx4::test
