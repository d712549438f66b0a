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
        // A backslash escape on one engine hides the ";" from the others.
        "SELECT E'\\''; DELETE FROM tblUsers; --'", "WITH x AS (SELECT 1) VALUES (1)"})
    EXPECT_FALSE(Reads(sql)) << sql;
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
