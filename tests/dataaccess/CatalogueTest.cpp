// Every statement the library issues, translated and run on a fresh schema.
#include <kx4data/RuntimeError.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "dataaccess/Statements.h"
#include "support/TestDatabase.h"
#include "variant/Utf8.h"

namespace kx4::test {
namespace {

using Check = std::function<void(ado::Recordset&)>;

Variant Field(ado::Recordset& rs, const char* name) {
  return rs.Fields(name).Value();
}

std::map<std::string, Check> Checks() {
  return {
      {"application insert", [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "NewId").ToLong(), 1); }},
      {"application load",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "Name"), Variant("Writer"));
         EXPECT_EQ(Field(rs, "TrackOptionId").ToLong(), 3);
       }},
      {"paper type max position",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "MaxPosition").ToLong(), 2); }},
      {"paper type load",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "Modifier").ToLong(), 125);
         EXPECT_EQ(Field(rs, "Active"), Variant(true));
         EXPECT_EQ(Field(rs, "DefaultType"), Variant(true));
         EXPECT_EQ(Field(rs, "ListPosition").ToLong(), 2);
       }},
      {"paper type list",
       [](ado::Recordset& rs) {
         // Plain lost its default to Glossy and moved behind it.
         EXPECT_EQ(Field(rs, "Description"), Variant("Glossy"));
         rs.MoveNext();
         EXPECT_EQ(Field(rs, "Description"), Variant("Plain"));
         EXPECT_EQ(Field(rs, "DefaultType"), Variant(false));
       }},
      {"configuration load",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "UnitCost"), Variant(Currency::FromTicks(2500)));
         EXPECT_EQ(Field(rs, "Modifier").ToLong(), 150);
         EXPECT_EQ(Field(rs, "MaxPages").ToLong(), 50);
         EXPECT_EQ(Field(rs, "Active"), Variant(true));
         EXPECT_EQ(Field(rs, "UnitDesc"), Variant("per page"));
       }},
      {"configuration paper types",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "Modifier").ToLong(), 80); }},
      {"printer port count",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "PortCount").ToLong(), 0); }},
      {"printer load by port",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "Port"), Variant("lpt1:")); }},
      {"printer list",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "ConfigName"), Variant("Default")); }},
      {"validated load",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "Modifier").ToLong(), 100);
         EXPECT_EQ(Field(rs, "Active"), Variant(true));
       }},
      {"validated load by code",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "Code"), Variant("MKT_01")); }},
      {"user admin count",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "AdminCount").ToLong(), 1); }},
      {"user load",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "UseQuota"), Variant(true));
         EXPECT_EQ(Field(rs, "QuotaRemaining"), Variant(Currency::FromTicks(100000)));
         EXPECT_EQ(Field(rs, "ReportSecurity").ToLong(), 2);
       }},
      {"user insert 2", [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "NewId").ToLong(), 2); }},
      {"job list",
       [](ado::Recordset& rs) {
         EXPECT_EQ(rs.FieldCount(), 22);
         EXPECT_EQ(Field(rs, "ValueCode"), Variant("MKT_01"));
         EXPECT_EQ(Field(rs, "UserName"), Variant("Smith"));
         EXPECT_EQ(Field(rs, "ProcessName"), Variant("WINWORD.EXE"));
         EXPECT_EQ(Field(rs, "PaperType"), Variant("<NONE>"));
         EXPECT_EQ(Field(rs, "Color"), Variant(true));
         EXPECT_EQ(Field(rs, "CostPerUnit"), Variant(Currency::FromTicks(500)));
         EXPECT_EQ(Field(rs, "UserOne"), Variant("<NONE>"));
         EXPECT_EQ(Field(rs, "UnitDesc"), Variant("Pages"));
         const DateTime printed = Field(rs, "DatePrinted").ToDate();
         EXPECT_LE(std::abs(printed.Seconds() - DateTime::Now().Seconds()), 5);
         rs.MoveNext();
         EXPECT_EQ(Field(rs, "ValueCode"), Variant("Unknown"));
         EXPECT_EQ(Field(rs, "UserName"), Variant("Unknown"));
         EXPECT_EQ(Field(rs, "NetworkUser"), Variant("guest"));
         EXPECT_EQ(Field(rs, "Color"), Variant(false));
         EXPECT_EQ(Field(rs, "UnitDesc"), Variant("Sq. Ft."));
       }},
      {"pending jobs",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "ComputerName"), Variant("WS-042")); }},
      {"settings load",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "Version").ToLong(), 4);
         EXPECT_EQ(Field(rs, "UnlistedPrinterConfigId").ToLong(), 1);
       }},
      {"application track get",
       [](ado::Recordset& rs) { EXPECT_EQ(Field(rs, "ApplicationIgnore"), Variant(true)); }},
      {"security get",
       [](ado::Recordset& rs) {
         EXPECT_EQ(Field(rs, "SecureAdmin"), Variant(true));
         EXPECT_EQ(Field(rs, "SecureViewer"), Variant(false));
       }},
  };
}

class Catalogue : public EngineTest {};

TEST_P(Catalogue, EveryStatementRunsWithTheExpectedOutcome) {
  auto c = Connect();
  const auto checks = Checks();
  for (const CatalogueStep& step : kx4::test::Catalogue()) {
    SCOPED_TRACE(step.label);
    try {
      if (step.rows >= 0) {
        auto rs = Query(c, step.sql, step.params);
        ASSERT_EQ(rs->State(), ado::adStateOpen) << step.sql;
        EXPECT_EQ(rs->RecordCount(), step.rows) << step.sql;
        const auto check = checks.find(step.label);
        if (check != checks.end() && rs->RecordCount() > 0)
          check->second(*rs);
      } else {
        const int32_t affected = Execute(c, step.sql, step.params);
        if (step.affected != -2) {
          EXPECT_EQ(affected, step.affected) << step.sql;
        }
      }
    } catch (const RuntimeError& e) {
      ADD_FAILURE() << e.Description() << "\n" << step.sql;
    }
  }
  // The quota was charged exactly once, in money, not floating point.
  EXPECT_EQ(Scalar(c, "SELECT QuotaRemaining FROM tblUsers WHERE UserId = 1"),
            Variant(Currency::FromTicks(97000)));
}

TEST_P(Catalogue, FlagsWrittenAsMinusOneReadBackAsTrueAndMatchEqualsOne) {
  auto c = Connect();
  Execute(c,
          "INSERT INTO tblValidatedValues (Description, Code, CostModifier, Active) VALUES "
          "(N'x', N'A', 0, -1)");
  Execute(c,
          "INSERT INTO tblValidatedValues (Description, Code, CostModifier, Active) VALUES "
          "(?, ?, 0, ?)",
          {std::string("y"), std::string("B"), int16_t{-1}});
  Execute(c, "UPDATE tblUsers SET Active = -1");
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblValidatedValues WHERE Active = 1").ToLong(), 2);
  auto rs = Query(c, "SELECT Active FROM tblValidatedValues ORDER BY Code");
  EXPECT_EQ(rs->Fields(0).Type(), ado::adBoolean);
  EXPECT_EQ(rs->Fields(0).Value(), Variant(true));
  Execute(c, "UPDATE tblValidatedValues SET Active = 0 WHERE Code = N'A'");
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblValidatedValues WHERE Active = 1").ToLong(), 1);
}

TEST_P(Catalogue, MoneyIsExactAndReportedAsCurrency) {
  auto c = Connect();
  Execute(c,
          "INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
          "ReportSecurity) VALUES (N'p', N'n', -1, ?, -1, 0, 0)",
          {Currency::FromTicks(1)});
  for (int i = 0; i < 10; ++i)
    Execute(c, "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UseQuota = 1",
            {Currency::Parse("0.1")});
  auto rs = Query(c, "SELECT QuotaRemaining FROM tblUsers");
  EXPECT_EQ(rs->Fields(0).Type(), ado::adCurrency);
  EXPECT_EQ(rs->Fields(0).Value(), Variant(Currency::Parse("-0.9999")));
  Execute(c, "UPDATE tblConfigurations SET UnitCost = 0.0001");
}

TEST_P(Catalogue, SmallDateTimeRoundsToTheMinute) {
  auto c = Connect();
  const auto at = [&](const char* text) {
    return Scalar(c, std::string("SELECT CAST('") + text + "' AS smalldatetime)").ToDate();
  };
  EXPECT_EQ(at("Dec 07, 2026 22:06:29"), DateTime::FromCivil(2026, 12, 7, 22, 6));
  EXPECT_EQ(at("Dec 07, 2026 22:06:30"), DateTime::FromCivil(2026, 12, 7, 22, 7));
  EXPECT_EQ(at("Dec 31, 2026 23:59:45"), DateTime::FromCivil(2027, 1, 1, 0, 0));
}

TEST_P(Catalogue, LikeFollowsBracketClasses) {
  auto c = Connect();
  for (const char* code : {"50%_off[1]", "50%xoff[1]", "A_B", "AXB", "[x]", "abc", "b"})
    Execute(c, std::string("INSERT INTO tblValidatedValues (Code) VALUES (N'") + code + "')");
  const auto count = [&](const char* pattern) {
    return Scalar(c, std::string("SELECT COUNT(*) FROM tblValidatedValues WHERE Code LIKE N'") +
                         pattern + "'")
        .ToLong();
  };
  EXPECT_EQ(count("50%[_]off[[]1]%"), 1);
  EXPECT_EQ(count("A[_]B"), 1);
  EXPECT_EQ(count("A_B"), 2);
  EXPECT_EQ(count("[[]x]"), 1);
  EXPECT_EQ(count("[a-b]%"), 4);  // case-insensitive: A_B, AXB, abc, b
  EXPECT_EQ(count("[^a]"), 1);
}

TEST_P(Catalogue, LiteralsAreNeverAltered) {
  auto c = Connect();
  const std::string text = "what? -- N'x' GETDATE() @@IDENTITY /* ISNULL(a,b) */ TOP 5 [x]";
  std::string quoted;
  for (char ch : text)
    quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
  Execute(c, "INSERT INTO tblApplications (Name, Description) VALUES (N'" + quoted + "', ?)",
          {std::string("second ?")});
  auto rs =
      Query(c, "SELECT Name, Description FROM tblApplications WHERE Name = N'" + quoted + "'");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("Name").Value(), Variant(text));
  EXPECT_EQ(rs->Fields("Description").Value(), Variant("second ?"));
}

TEST_P(Catalogue, UpperAndLowerFoldNonAsciiText) {
  auto c = Connect();
  EXPECT_EQ(Scalar(c, "SELECT UPPER(N'müller ñandú')"), Variant("MÜLLER ÑANDÚ"));
  EXPECT_EQ(Scalar(c, "SELECT LOWER(N'ÆØÅ ΣΑΣ ЖУК')"), Variant("æøå σασ жук"));
}

TEST_P(Catalogue, UpperAndLowerFollowTheLibrarysCaseTable) {
  // Every letter up to the end of Cyrillic, and letters of other scripts,
  // which the table leaves alone.
  std::string text;
  for (char32_t c = 0x20; c < 0x500; ++c)
    AppendUtf8(c, text);
  for (char32_t c : {0x531, 0x561, 0x1E00, 0x1E01, 0xFF21, 0xFF41, 0x10400, 0x10428})
    AppendUtf8(c, text);
  auto c = Connect();
  auto rs = Query(c, "SELECT UPPER(?) AS U, LOWER(?) AS L", {text, text});
  EXPECT_EQ(rs->Fields("U").Value(), Variant(UpperText(text)));
  EXPECT_EQ(rs->Fields("L").Value(), Variant(LowerText(text)));
}

TEST_P(Catalogue, TopBecomesALimit) {
  auto c = Connect();
  for (int i = 0; i < 5; ++i)
    Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'a" + std::to_string(i) + "')");
  auto rs = Query(c, "SELECT TOP 2 Name FROM tblApplications ORDER BY Name DESC");
  ASSERT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields(0).Value(), Variant("a4"));
}

KX4_INSTANTIATE_ENGINES(Catalogue);

}  // namespace
}  // namespace kx4::test
