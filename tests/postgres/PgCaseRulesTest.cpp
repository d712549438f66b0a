// How statements reach the case rules on PostgreSQL: translation only, no
// server.  The columns named here stand for the database's kx4_ci columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/postgres/PgDialect.h"

namespace kx4::ado::pg {
namespace {

std::string One(std::string_view sql) {
  PgTranslator translator;
  translator.SetCaseColumns(CaseColumns({"name", "port", "code", "networkuser"}));
  const PgBatch& batch = translator.Translate(sql, false);
  EXPECT_EQ(batch.statements.size(), 1u) << sql;
  return batch.statements.empty() ? std::string() : batch.statements.front().text;
}

TEST(PgCaseRules, ComparisonsOfNamesCompareKeys) {
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
  EXPECT_EQ(One("SELECT a FROM t WHERE N'x' = C.Code OR Code <> ? AND A.Name = B.Port"),
            "SELECT a FROM t WHERE kx4_key('x') = kx4_key(C.Code) OR kx4_key(Code) <> kx4_key($1) "
            "AND kx4_key(A.Name) = kx4_key(B.Port)");
  EXPECT_EQ(One("SELECT a FROM t WHERE UPPER(Document) = ? AND (Name >= N'M')"),
            "SELECT a FROM t WHERE kx4_key(Document) = kx4_key($1) AND (kx4_key(Name) >= "
            "kx4_key('M'))");
  EXPECT_EQ(One("SELECT CASE WHEN Name = N'a' THEN 1 END FROM t"),
            "SELECT CASE WHEN kx4_key(Name) = kx4_key('a') THEN 1 END FROM t");
}

TEST(PgCaseRules, WhatIsNoComparisonOfNamesStays) {
  // Assignments, exact columns, numbers, NULL and larger expressions.
  EXPECT_EQ(One("UPDATE tblUsers SET Name = N'x', Port = ? WHERE UserId = 1"),
            "UPDATE tblUsers SET Name = 'x', Port = $1 WHERE UserId = 1");
  EXPECT_EQ(One("SELECT a FROM t WHERE PinCode = ? AND Document = N'x' AND Name = NULL"),
            "SELECT a FROM t WHERE PinCode = $1 AND Document = 'x' AND Name = NULL");
  EXPECT_EQ(One("SELECT a FROM t WHERE Name = N'a' + N'b' OR Name || N'x' = N'y'"),
            "SELECT a FROM t WHERE Name = 'a' + 'b' OR Name || 'x' = 'y'");
  EXPECT_EQ(One("SELECT a FROM t WHERE Name = ANY (SELECT b FROM u) AND Name = CASE WHEN c = 1 "
                "THEN N'x' END"),
            "SELECT a FROM t WHERE Name = ANY (SELECT b FROM u) AND Name = CASE WHEN c = 1 THEN "
            "'x' END");
  EXPECT_EQ(One("SELECT a FROM t WHERE UPPER(Name) = UPPER(Port) AND UPPER(Name) = NULL"),
            "SELECT a FROM t WHERE kx4_upper(Name) = kx4_upper(Port) AND kx4_upper(Name) = NULL");
}

TEST(PgCaseRules, UpperAndLowerAreTheLibrarysAndLikeFoldsBothSides) {
  EXPECT_EQ(One("SELECT UPPER(P.ProcessName), LOWER(N'Ä'), pg_catalog.upper(x) FROM t"),
            "SELECT kx4_upper(P.ProcessName), kx4_lower('Ä'), pg_catalog.upper(x) FROM t");
  PgTranslator translator;
  EXPECT_EQ(translator.Translate("SELECT UPPER(N'a')", false).spellings.at("kx4_upper"), "upper");
  EXPECT_EQ(One("SELECT * FROM P WHERE LOWER(P.NetworkUser) LIKE n'jür%' AND (Name NOT LIKE "
                "N'[a-c]%')"),
            "SELECT * FROM P WHERE kx4_upper(kx4_lower(P.NetworkUser)) LIKE kx4_upper('jür%') AND "
            "(kx4_upper(Name) NOT SIMILAR TO kx4_upper('[a-c]%'))");
}

TEST(PgCaseRules, TheClientFoldsWhatTheListOnlyShows) {
  PgTranslator translator;
  const PgStatement& list =
      translator
          .Translate(
              "SELECT ISNULL(C.Code, 'Unknown') AS ValueCode, LOWER(P.NetworkUser) AS "
              "NetworkUser, UPPER(P.PrinterName) As PrinterName, UPPER(P.ProcessName) "
              "FROM tblPrintJobs P ORDER BY P.DatePrinted",
              false)
          .statements.front();
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
    const PgStatement& s = translator.Translate(sql, false).statements.front();
    EXPECT_TRUE(s.folds.empty()) << sql;
    EXPECT_NE(s.text.find("kx4_upper("), std::string::npos) << sql;
  }
}

TEST(PgCaseRules, NamesSortByTheirKeys) {
  EXPECT_EQ(One("SELECT UserId, Name FROM tblUsers ORDER BY Name"),
            "SELECT UserId, Name FROM tblUsers ORDER BY kx4_key(Name)");
  // Aliases and positions of name columns, directions, TOP.
  EXPECT_EQ(One("SELECT TOP 3 C.Code AS X, C.ValidatedId FROM v C ORDER BY X DESC, 2, 1"),
            "SELECT C.Code AS X, C.ValidatedId FROM v C ORDER BY kx4_key(C.Code) DESC, 2, "
            "kx4_key(C.Code) LIMIT 3");
  EXPECT_EQ(One("SELECT a FROM t WHERE b IN (SELECT TOP 1 Name FROM u ORDER BY Name) ORDER BY a"),
            "SELECT a FROM t WHERE b IN (SELECT Name FROM u ORDER BY kx4_key(Name) LIMIT 1) "
            "ORDER BY a");
  // An expression's alias, a set operation, a window: as written.
  EXPECT_EQ(One("SELECT UPPER(Name) AS Name FROM t ORDER BY Name"),
            "SELECT kx4_upper(Name) AS Name FROM t ORDER BY Name");
  EXPECT_EQ(One("SELECT Name FROM a UNION SELECT Name FROM b ORDER BY Name"),
            "SELECT Name FROM a UNION SELECT Name FROM b ORDER BY Name");
  EXPECT_EQ(One("SELECT ROW_NUMBER() OVER (ORDER BY Name) FROM t"),
            "SELECT ROW_NUMBER() OVER (ORDER BY Name) FROM t");
  // DISTINCT of one name keeps one row per key; of several, sorts as written.
  EXPECT_EQ(One("SELECT DISTINCT P.NetworkUser FROM tblPrintJobs P ORDER BY P.NetworkUser"),
            "SELECT DISTINCT ON (kx4_key(P.NetworkUser)) P.NetworkUser FROM tblPrintJobs P "
            "ORDER BY kx4_key(P.NetworkUser)");
  EXPECT_EQ(One("SELECT DISTINCT Name, Code FROM t ORDER BY Name"),
            "SELECT DISTINCT Name, Code FROM t ORDER BY Name");
}

}  // namespace
}  // namespace kx4::ado::pg
