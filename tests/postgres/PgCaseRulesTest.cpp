// How statements reach the case rules on PostgreSQL, and the one rule the
// embedded engine needs stated: translation only, no server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/dialect/Catalogue.h"
#include "dataaccess/postgres/PgDialect.h"
#include "dataaccess/sqlite/SqliteConnection.h"

namespace kx4::ado {
namespace {

using dialect::ResultFold;
using dialect::ValueKind;

// Names (kTextCi) and other columns of the tables the statements use.
template <typename Catalogue>
void Describe(Catalogue& c) {
  for (const char* table : {"tblUsers", "t", "u"}) {
    c.Add(table, "UserId", ValueKind::kInteger);
    c.Add(table, "PinCode", ValueKind::kText);
    c.Add(table, "Name", ValueKind::kTextCi);
    c.Add(table, "Port", ValueKind::kTextCi);
    c.Add(table, "Code", ValueKind::kTextCi);
    c.Add(table, "Document", ValueKind::kText);
    c.Add(table, "a", ValueKind::kInteger);
    c.Add(table, "b", ValueKind::kInteger);
    c.Add(table, "c", ValueKind::kInteger);
  }
  c.Add("tblPrinters", "PrinterId", ValueKind::kInteger);
  c.Add("tblPrinters", "Port", ValueKind::kTextCi);
  c.Add("tblPrinters", "Name", ValueKind::kTextCi);
  c.Add("tblValidatedValues", "ValidatedId", ValueKind::kInteger);
  c.Add("tblValidatedValues", "Code", ValueKind::kTextCi);
  for (const char* column : {"NetworkUser", "PrinterName", "ProcessName", "Document"})
    c.Add("tblPrintJobs", column, ValueKind::kTextCi);
  c.Add("tblPrintJobs", "Pages", ValueKind::kInteger);
  c.Add("tblPrintJobs", "DatePrinted", ValueKind::kDate);
}

class PgCaseRules : public ::testing::Test {
 protected:
  PgCaseRules() {
    Describe(catalogue_);
    translator_.SetCatalogue(&catalogue_);
  }
  // The translation of one statement whose markers bind text.
  const pg::PgStatement& Statement(std::string_view sql) {
    kinds_.assign(16, ValueKind::kText);
    const pg::PgBatch& batch = translator_.Translate(sql, false, kinds_);
    EXPECT_EQ(batch.statements.size(), 1u) << sql;
    return batch.statements.front();
  }
  std::string One(std::string_view sql) { return Statement(sql).text; }

  dialect::Catalogue catalogue_;
  pg::PgTranslator translator_;
  std::vector<ValueKind> kinds_;
};

TEST_F(PgCaseRules, ComparisonsOfNamesCompareKeys) {
  // The record classes' lookups.
  EXPECT_EQ(One("SELECT COUNT(*) FROM tblUsers WHERE UPPER(Name) = N'ZOË'"),
            "SELECT COUNT(*) FROM tblUsers WHERE kx4_key(Name) = kx4_key('ZOË')");
  EXPECT_EQ(One("SELECT COUNT(*) AS PortCount FROM tblPrinters WHERE UPPER(Port) = N'LPT1: ' AND "
                "PrinterId <> 5"),
            "SELECT COUNT(*) AS PortCount FROM tblPrinters WHERE kx4_key(Port) = kx4_key('LPT1: ') "
            "AND PrinterId <> 5");
  EXPECT_EQ(One("SELECT ValidatedId FROM tblValidatedValues WHERE Code = N'x'"),
            "SELECT ValidatedId FROM tblValidatedValues WHERE kx4_key(Code) = kx4_key('x')");
  // Either side, parameters, other columns, and UPPER of any text.
  EXPECT_EQ(One("SELECT a FROM tblValidatedValues C, t A, tblPrinters B WHERE N'x' = C.Code OR "
                "A.Code <> ? AND A.Name = B.Port"),
            "SELECT a FROM tblValidatedValues C, t A, tblPrinters B WHERE kx4_key('x') = "
            "kx4_key(C.Code) OR kx4_key(A.Code) <> kx4_key($1) AND kx4_key(A.Name) = "
            "kx4_key(B.Port)");
  EXPECT_EQ(One("SELECT a FROM t WHERE UPPER(Document) = ? AND (Name >= N'M') AND ? = "
                "UPPER(PinCode)"),
            "SELECT a FROM t WHERE kx4_key(Document) = kx4_key($1) AND (kx4_key(Name) >= "
            "kx4_key('M')) AND kx4_key($2) = kx4_key(PinCode)");
  EXPECT_EQ(One("SELECT CASE WHEN Name = N'a' THEN 1 END FROM t"),
            "SELECT CASE WHEN kx4_key(Name) = kx4_key('a') THEN 1 END FROM t");
  // Larger expressions: a name on the left decides, as on the embedded
  // engine, and names in parentheses or CAST to text are still names.
  EXPECT_EQ(One("SELECT a FROM t WHERE Name = N'a' + ? AND (Code) <> UPPER(?) AND "
                "CAST(Port AS nvarchar(20)) = Document"),
            "SELECT a FROM t WHERE kx4_key(Name) = kx4_key('a' || $1) AND kx4_key((Code)) <> "
            "kx4_key($2) AND kx4_key(CAST(Port AS varchar(20))) = kx4_key(Document)");
  EXPECT_EQ(One("SELECT a FROM t WHERE (SELECT MAX(Code) FROM u) = Name"),
            "SELECT a FROM t WHERE kx4_key((SELECT MAX(Code) FROM u)) = kx4_key(Name)");
}

TEST_F(PgCaseRules, WhatIsNoComparisonOfNamesStays) {
  // Assignments, exact columns, numbers, a column that decides first.
  EXPECT_EQ(One("UPDATE tblUsers SET Name = N'x', Port = ? WHERE UserId = 1"),
            "UPDATE tblUsers SET Name = 'x', Port = $1 WHERE UserId = 1");
  EXPECT_EQ(
      One("SELECT a FROM t WHERE PinCode = ? AND Document = N'x' AND PinCode = Name AND "
          "Name = 5"),
      "SELECT a FROM t WHERE PinCode = $1 AND Document = 'x' AND PinCode = Name AND Name = 5");
  // No column on either side: text as it is.
  EXPECT_EQ(One("SELECT a FROM t WHERE Name || N'x' = N'y' AND LTRIM(Name) = ? AND "
                "(SELECT MAX(Code) FROM u) = N'x'"),
            "SELECT a FROM t WHERE Name || 'x' = 'y' AND LTRIM(Name) = $1 AND (SELECT MAX(Code) "
            "FROM u) = 'x'");
  EXPECT_EQ(One("SELECT a FROM t WHERE UPPER(Name) = UPPER(Port) AND UPPER(Name) = NULL"),
            "SELECT a FROM t WHERE kx4_upper(Name) = kx4_upper(Port) AND kx4_upper(Name) = NULL");
  // What the analyzer does not read stays; what it reads around it folds.
  EXPECT_EQ(One("SELECT a FROM t WHERE Name = ANY (SELECT Code FROM u) AND Name = N'x'"),
            "SELECT a FROM t WHERE Name = ANY (SELECT Code FROM u) AND kx4_key(Name) = "
            "kx4_key('x')");
}

TEST_F(PgCaseRules, ListsRangesAndCasesCompareKeys) {
  EXPECT_EQ(One("SELECT a FROM t WHERE Name IN (N'a', ?, Code) AND Name NOT BETWEEN N'a' AND ?"),
            "SELECT a FROM t WHERE kx4_key(Name) IN (kx4_key('a'), kx4_key($1), kx4_key(Code)) "
            "AND kx4_key(Name) NOT BETWEEN kx4_key('a') AND kx4_key($2)");
  // An IN list asks its left operand only.
  EXPECT_EQ(One("SELECT a FROM t WHERE N'a' IN (Name, Code) AND UPPER(Name) IN (N'A', ?)"),
            "SELECT a FROM t WHERE 'a' IN (Name, Code) AND kx4_key(Name) IN (kx4_key('A'), "
            "kx4_key($1))");
  // IN (SELECT ...): the left name, or the subquery's name column.
  EXPECT_EQ(One("SELECT a FROM t WHERE Name IN (SELECT PinCode FROM u) AND UPPER(Name) IN "
                "(SELECT Code FROM u) AND PinCode IN (SELECT Code FROM u)"),
            "SELECT a FROM t WHERE kx4_key(Name) IN (SELECT kx4_key(kx4_in.v) FROM (SELECT PinCode "
            "FROM u) kx4_in(v)) AND kx4_key(Name) IN (SELECT kx4_key(kx4_in.v) FROM (SELECT Code "
            "FROM u) kx4_in(v)) AND PinCode IN (SELECT Code FROM u)");
  EXPECT_EQ(
      One("SELECT CASE Name WHEN N'a' THEN 1 WHEN ? THEN 2 END FROM t"),
      "SELECT CASE kx4_key(Name) WHEN kx4_key('a') THEN 1 WHEN kx4_key($1) THEN 2 END FROM t");
}

TEST_F(PgCaseRules, UpperAndLowerAreTheLibrarysAndLikeFoldsBothSides) {
  EXPECT_EQ(One("SELECT UPPER(P.ProcessName), LOWER(N'Ä'), pg_catalog.upper(x) FROM t"),
            "SELECT kx4_upper(P.ProcessName), kx4_lower('Ä'), pg_catalog.upper(x) FROM t");
  EXPECT_EQ(translator_.Translate("SELECT UPPER(N'a')", false).spellings.at("kx4_upper"), "upper");
  EXPECT_EQ(One("SELECT * FROM P WHERE LOWER(P.NetworkUser) LIKE n'jür%' AND (Name NOT LIKE "
                "N'[a-c]%')"),
            "SELECT * FROM P WHERE kx4_upper(kx4_lower(P.NetworkUser)) LIKE kx4_upper('jür%') AND "
            "(kx4_upper(Name) NOT SIMILAR TO kx4_upper('[a-c]%'))");
  // Any operands, parameters and an escape character of the statement's own.
  EXPECT_EQ(
      One("SELECT a FROM t WHERE Name + N'x' LIKE ? AND Code LIKE N'x!_%' ESCAPE N'!' AND "
          "UPPER(Port) LIKE UPPER(?)"),
      "SELECT a FROM t WHERE kx4_upper(Name || 'x') LIKE kx4_upper($1) AND kx4_upper(Code) "
      "LIKE kx4_upper('x\\_%') ESCAPE kx4_upper('\\') AND kx4_upper(Port) LIKE kx4_upper($2)");
}

TEST_F(PgCaseRules, TheClientFoldsWhatTheListOnlyShows) {
  const pg::PgStatement& list = Statement(
      "SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, LOWER(P.NetworkUser) AS "
      "NetworkUser, UPPER(P.PrinterName) As PrinterName, UPPER(P.ProcessName) "
      "FROM tblPrintJobs P ORDER BY P.DatePrinted");
  EXPECT_EQ(list.text,
            "SELECT COALESCE(C.Code, 'Unknown') AS ValueCode, P.NetworkUser AS NetworkUser, "
            "P.PrinterName As PrinterName, kx4_upper(P.ProcessName) FROM tblPrintJobs P ORDER BY "
            "P.DatePrinted");
  EXPECT_EQ(list.folds, (std::vector<ResultFold>{ResultFold::kNone, ResultFold::kLower,
                                                 ResultFold::kUpper, ResultFold::kNone}));
  // Where the folded value decides rows or order, the server folds.
  for (const char* sql :
       {"SELECT UPPER(Name) AS N FROM t ORDER BY N", "SELECT UPPER(Name) AS N FROM t ORDER BY 1",
        "SELECT DISTINCT UPPER(Name) AS N FROM t",
        "SELECT UPPER(Name) AS N, COUNT(*) FROM t GROUP BY UPPER(Name)",
        "SELECT UPPER(Name) AS N FROM t UNION SELECT Code FROM u",
        "SELECT *, UPPER(Name) AS N FROM t", "SELECT UPPER(a + b) AS N FROM t",
        "INSERT INTO t (a) SELECT UPPER(Name) AS N FROM u"}) {
    const pg::PgStatement& s = Statement(sql);
    EXPECT_TRUE(s.folds.empty()) << sql;
    EXPECT_NE(s.text.find("kx4_upper("), std::string::npos) << sql;
  }
}

TEST_F(PgCaseRules, NamesSortByTheirKeys) {
  EXPECT_EQ(One("SELECT UserId, Name FROM tblUsers ORDER BY Name"),
            "SELECT UserId, Name FROM tblUsers ORDER BY kx4_key(Name)");
  // Aliases and positions of name columns, directions, TOP.
  EXPECT_EQ(One("SELECT TOP 3 C.Code AS X, C.ValidatedId FROM tblValidatedValues C ORDER BY X "
                "DESC, 2, 1"),
            "SELECT C.Code AS X, C.ValidatedId FROM tblValidatedValues C ORDER BY kx4_key(C.Code) "
            "DESC, 2, kx4_key(C.Code) LIMIT 3");
  EXPECT_EQ(One("SELECT a FROM t WHERE b IN (SELECT TOP 1 Name FROM u ORDER BY Name) ORDER BY a"),
            "SELECT a FROM t WHERE b IN (SELECT Name FROM u ORDER BY kx4_key(Name) LIMIT 1) "
            "ORDER BY a");
  // An expression's alias, a set operation, a window: as written.
  EXPECT_EQ(One("SELECT UPPER(Name) AS Name FROM t ORDER BY Name"),
            "SELECT kx4_upper(Name) AS Name FROM t ORDER BY Name");
  EXPECT_EQ(One("SELECT Name FROM t UNION SELECT Name FROM u ORDER BY Name"),
            "SELECT Name FROM t UNION SELECT Name FROM u ORDER BY Name");
  EXPECT_EQ(One("SELECT ROW_NUMBER() OVER (ORDER BY Name) FROM t"),
            "SELECT ROW_NUMBER() OVER (ORDER BY Name) FROM t");
}

TEST_F(PgCaseRules, DistinctGroupsAndCountsGoByKey) {
  // DISTINCT keeps one row per key of each name, the other columns by
  // position.
  EXPECT_EQ(One("SELECT DISTINCT P.NetworkUser FROM tblPrintJobs P ORDER BY P.NetworkUser"),
            "SELECT DISTINCT ON (kx4_key(P.NetworkUser)) P.NetworkUser FROM tblPrintJobs P "
            "ORDER BY kx4_key(P.NetworkUser)");
  EXPECT_EQ(One("SELECT DISTINCT Name, a, Code AS K FROM t ORDER BY K"),
            "SELECT DISTINCT ON (kx4_key(Name), 2, kx4_key(Code)) Name, a, Code AS K FROM t ORDER "
            "BY kx4_key(Code)");
  EXPECT_EQ(One("SELECT DISTINCT a, PinCode FROM t"), "SELECT DISTINCT a, PinCode FROM t");
  EXPECT_EQ(One("SELECT COUNT(DISTINCT Name), COUNT(DISTINCT UPPER(Name)) FROM t"),
            "SELECT COUNT(DISTINCT kx4_key(Name)), COUNT(DISTINCT kx4_upper(Name)) FROM t");
  // A grouped name shows one of its group's values, under its own name.
  EXPECT_EQ(
      One("SELECT U.Name, COUNT(*) AS Jobs, UPPER(U.Name) AS Shown FROM tblUsers U GROUP BY "
          "U.Name, U.UserId HAVING U.Name <> N'x' AND MAX(U.Port) > N'a' ORDER BY Name"),
      "SELECT min(U.Name) AS \"Name\", COUNT(*) AS Jobs, kx4_upper(min(U.Name)) AS Shown FROM "
      "tblUsers U GROUP BY kx4_key(U.Name), U.UserId HAVING kx4_key(U.Name) <> kx4_key('x') "
      "AND MAX(U.Port) > 'a' ORDER BY kx4_key(U.Name)");
}

TEST(SqliteCaseRules, UpperMeetingALiteralOrAParameterTakesTheCollation) {
  sqlite::Catalog catalog;
  Describe(catalog);
  sqlite::SqliteHooks hooks(catalog);
  dialect::Translator translator(hooks);
  const std::vector<ValueKind> text(4, ValueKind::kText);
  auto one = [&](std::string_view sql) { return translator.Translate(sql, text).front().sql; };
  EXPECT_EQ(one("SELECT a FROM t WHERE UPPER(Port) = N'LPT1:' AND ? <> UPPER(Document) AND "
                "UPPER(Name) IN (?, N'B') AND UPPER(Code) BETWEEN ? AND N'Z'"),
            "SELECT a FROM t WHERE UPPER(Port) COLLATE KX4_CI = 'LPT1:' AND ? COLLATE KX4_CI <> "
            "UPPER(Document) AND UPPER(Name) COLLATE KX4_CI IN (?, 'B') AND UPPER(Code) COLLATE "
            "KX4_CI BETWEEN ? AND 'Z'");
  // Columns decide by themselves; two upper-cased sides compare exactly.
  EXPECT_EQ(one("SELECT a FROM t WHERE Name = N'x' AND UPPER(Name) = UPPER(Port)"),
            "SELECT a FROM t WHERE Name = 'x' AND UPPER(Name) = UPPER(Port)");
}

}  // namespace
}  // namespace kx4::ado
