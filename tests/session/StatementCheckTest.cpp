#include "session/StatementCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace kx4 {
namespace {

TEST(PlainIdentifierTest, AcceptsNamesAndOneOwner) {
  EXPECT_TRUE(IsPlainIdentifier("tblUsers"));
  EXPECT_TRUE(IsPlainIdentifier("_x1"));
  EXPECT_TRUE(IsPlainIdentifier("dbo.tblUsers"));
}

TEST(PlainIdentifierTest, RefusesAnythingElse) {
  for (const char* name : {"", "1abc", "a.b.c", ".a", "a.", "tblUsers WHERE 1=1 --", "a;b",
                           "[tblUsers]", "\"x\"", "a b", "t\xc3\xa9", "a-b", "a'b"})
    EXPECT_FALSE(IsPlainIdentifier(name)) << name;
}

bool Reads(const std::string& sql) {
  std::string reason;
  return IsSingleReadStatement(sql, reason);
}

TEST(SingleReadStatementTest, AcceptsReads) {
  EXPECT_TRUE(Reads("SELECT * FROM tblPrintJobs"));
  EXPECT_TRUE(Reads("  select Name from tblUsers where Name = N'a;b' ;"));
  EXPECT_TRUE(Reads("SELECT 1 -- ; DELETE FROM tblUsers\n"));
  EXPECT_TRUE(Reads("SELECT /* ; DROP TABLE tblUsers */ 1"));
  EXPECT_TRUE(Reads("SELECT [Update], \"Insert\" FROM tblUsers WHERE Name = 'it''s; into'"));
  EXPECT_TRUE(Reads("WITH j AS (SELECT UserId FROM tblPrintJobs) SELECT COUNT(*) FROM j"));
  EXPECT_TRUE(Reads("SELECT * FROM tblUsers WHERE UserId IN (SELECT UserId FROM tblPrintJobs)"));
}

TEST(SingleReadStatementTest, RefusesWritesAndSecondStatements) {
  for (const char* sql :
       {"", "   ", "-- only a comment", "UPDATE tblUsers SET Name = 'x'", "DELETE FROM tblUsers",
        "SELECT 1; DELETE FROM tblUsers", "SELECT 1;;", "SELECT * INTO tblCopy FROM tblUsers",
        "WITH x AS (SELECT 1 AS a) DELETE FROM tblUsers",
        "WITH x AS (DELETE FROM tblUsers RETURNING *) SELECT * FROM x",
        "SELECT * FROM tblUsers FOR UPDATE", "EXEC sp_who", "(SELECT 1)", "SELECT 'unterminated",
        "SELECT 1 /* unterminated", "SELECT [unterminated",
        // Engines disagree on nesting: one would end the comment early.
        "SELECT 1 /* /* */ ; DELETE FROM tblUsers; /* */",
        // Read as the server reads them, these hide nothing.
        "SELECT E'\\''; DELETE FROM tblUsers; --'", "SELECT $a$ ' $a$; DELETE FROM tblUsers --'",
        "SELECT 1 --\r; DELETE FROM tblUsers", "SELECT * FROM tblUsers FOR SHARE",
        "WITH x AS (SELECT 1) VALUES (1)"})
    EXPECT_FALSE(Reads(sql)) << sql;
}

TEST(SingleReadStatementTest, AcceptsWhatReportsWrite) {
  for (const char* sql : {
           "SELECT COUNT(*), SUM(Pages * Copies) FROM tblPrintJobs WHERE DatePrinted >= "
           "CAST('Jan 01, 2026 00:00:00' AS smalldatetime)",
           "SELECT TOP 10 U.Name, ISNULL(V.Code, N'') FROM tblUsers U LEFT JOIN "
           "tblValidatedValues V ON V.ValidatedId = U.UserId ORDER BY UPPER(U.Name)",
           "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 10) "
           "SELECT COUNT(*) FROM c",
           "WITH j (n) AS NOT MATERIALIZED (SELECT 1) SELECT n FROM j",
           "SELECT v.a FROM (VALUES (1), (2)) AS v(a)",
           "SELECT x FROM generate_series(1, 3) AS g(x)",
           "SELECT CAST(Pages AS numeric(10, 2)), Pages::numeric(10,2) FROM tblPrintJobs",
           "SELECT pg_catalog.upper(Name), \"lower\"(Name), [LOWER](Name) FROM tblUsers",
           "SELECT $$it's; DELETE$$, E'a\\'; b', U&'d\\0061t\\+000061' FROM tblUsers",
           "SELECT U&\"Na!006De\" UESCAPE '!' FROM tblUsers",
           "SELECT COUNT(*) FILTER (WHERE Pages > 1) FROM tblPrintJobs",
           "SELECT RANK() OVER (PARTITION BY UserId ORDER BY Pages) FROM tblPrintJobs",
           "SELECT EXTRACT(YEAR FROM DatePrinted), DATEPART(month, DatePrinted) FROM tblPrintJobs",
           "SELECT Name FROM tblUsers WHERE Name LIKE N'[a-c]%' AND UserId IN (SELECT 1)",
           "SELECT kx4_upper(Name), KX4_LOWER(Name) FROM tblUsers ORDER BY kx4_key(Name)",
       })
    EXPECT_TRUE(Reads(sql)) << sql;
}

TEST(SingleReadStatementTest, RefusesCallsOfAnythingButReadingFunctions) {
  for (const char* sql : {
           "SELECT lo_create(0)",
           "SELECT LO_CREATE (0)",
           "SELECT \"lo_create\"(0)",
           "SELECT [lo_create](0)",
           "SELECT U&\"lo\\005fcreate\"(0)",
           "SELECT U&\"lo!005fcreate\" UESCAPE '!' (0)",
           "SELECT U&\"lo\\zzzz\"(0)",
           "SELECT pg_catalog.set_config('a', 'b', false)",
           "SELECT public.lower(Name)",
           "SELECT pg_catalog.pg_catalog.lower(Name)",
           "SELECT x FROM t WHERE a = (f(1))",
           "SELECT @lo_create(0)",
           "SELECT 1 #lo_create(0)",
           "SELECT CAST(lo_create(0) AS int)",
           "WITH x AS (SELECT query_to_xml('SELECT 1', true, false, '')) SELECT 1",
           "SELECT kx4_keys(Name) FROM tblUsers",
           "SELECT public.kx4_key(Name) FROM tblUsers",
       })
    EXPECT_FALSE(Reads(sql)) << sql;
  std::string reason;
  EXPECT_FALSE(IsSingleReadStatement("SELECT pg_advisory_lock(1)", reason));
  EXPECT_EQ(reason, "The statement calls pg_advisory_lock, which is not a reading function.");
}

TEST(SingleReadStatementTest, SaysWhy) {
  std::string reason;
  EXPECT_FALSE(IsSingleReadStatement("SELECT 1; SELECT 2", reason));
  EXPECT_EQ(reason, "Only one statement can be run at a time.");
  EXPECT_FALSE(IsSingleReadStatement("SELECT a INTO b FROM c", reason));
  EXPECT_NE(reason.find("INTO"), std::string::npos);
}

}  // namespace
}  // namespace kx4
