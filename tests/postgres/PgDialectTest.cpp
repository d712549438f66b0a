// The SQL Server dialect as PostgreSQL runs it: translation only, no server.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/Engine.h"
#include "dataaccess/postgres/PgDialect.h"

namespace kx4::ado::pg {
namespace {

std::vector<std::string> Texts(std::string_view batch, bool read_only = false) {
  PgTranslator translator;
  std::vector<std::string> texts;
  for (const PgStatement& s : translator.Translate(batch, read_only).statements) {
    texts.push_back(s.text);
  }
  return texts;
}

std::string One(std::string_view sql) {
  std::vector<std::string> texts = Texts(sql);
  EXPECT_EQ(texts.size(), 1u) << sql;
  return texts.empty() ? std::string() : texts.front();
}

TEST(PgDialect, InsertBatchesWithoutSeparators) {
  PgTranslator translator;
  const PgBatch& batch = translator.Translate(
      "SET NOCOUNT ON INSERT INTO tblUsers(PinCode, Name, UseQuota) VALUES (?, ?, ?) "
      "SET NOCOUNT OFF SELECT @@IDENTITY AS NewId",
      false);
  ASSERT_EQ(batch.statements.size(), 2u);
  EXPECT_EQ(batch.statements[0].text,
            "INSERT INTO tblUsers(PinCode, Name, UseQuota) VALUES ($1, $2, $3)");
  EXPECT_EQ(batch.statements[0].first_param, 0);
  EXPECT_EQ(batch.statements[0].param_count, 3);
  EXPECT_EQ(batch.statements[1].text, "SELECT kx4_identity() AS NewId");
  EXPECT_EQ(batch.spellings.at("newid"), "NewId");

  // ")SELECT" without a blank, "As NewId" after the statement.
  EXPECT_EQ(Texts("SET NOCOUNT ON INSERT INTO tblPrinters (Name, Port, ConfigurationId) "
                  "VALUES (N'HP', N'LPT1', 3)SELECT @@IDENTITY As NewId SET NOCOUNT OFF"),
            (std::vector<std::string>{
                "INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES ('HP', 'LPT1', 3)",
                "SELECT kx4_identity() As NewId"}));
  // A SELECT that feeds the INSERT is part of it.
  EXPECT_EQ(Texts("INSERT INTO t (a) SELECT b FROM u SELECT @@IDENTITY").size(), 2u);
}

TEST(PgDialect, LiteralsKeepTheirTextAndLoseTheNationalPrefix) {
  // N'...' would be a fixed-width character value on PostgreSQL and lose its
  // trailing blanks.
  EXPECT_EQ(One("UPDATE tblUsers SET Name = N'O''Brien  ' WHERE UserId = 1"),
            "UPDATE tblUsers SET Name = 'O''Brien  ' WHERE UserId = 1");
  EXPECT_EQ(One("SELECT N'?', '--', N'GETDATE()' FROM t WHERE a = ?"),
            "SELECT '?', '--', 'GETDATE()' FROM t WHERE a = $1");
  EXPECT_EQ(One("SELECT a FROM t -- what ?\nWHERE b = ?"),
            "SELECT a FROM t -- what ?\nWHERE b = $1");
}

TEST(PgDialect, FunctionsAndTop) {
  EXPECT_EQ(One("INSERT INTO tblPrintJobs (DatePrinted) VALUES (GETDATE())"),
            "INSERT INTO tblPrintJobs (DatePrinted) VALUES (LOCALTIMESTAMP(0))");
  EXPECT_EQ(One("SELECT ISNULL(C.Code, 'Unknown') AS ValueCode FROM tblValidatedValues C"),
            "SELECT COALESCE(C.Code, 'Unknown') AS ValueCode FROM tblValidatedValues C");
  EXPECT_EQ(One("SELECT TOP 5 Name FROM tblUsers ORDER BY Name"),
            "SELECT Name FROM tblUsers ORDER BY Name LIMIT 5");
  EXPECT_EQ(One("SELECT a FROM t WHERE b IN (SELECT TOP 1 b FROM u ORDER BY c) ORDER BY a"),
            "SELECT a FROM t WHERE b IN (SELECT b FROM u ORDER BY c LIMIT 1) ORDER BY a");
  EXPECT_EQ(One("SELECT CAST(x AS money), CAST(y AS nvarchar(20)) FROM t"),
            "SELECT CAST(x AS currency), CAST(y AS varchar(20)) FROM t");
  EXPECT_EQ(One("SELECT [Name], [Order Id], [User] FROM [tblUsers]"),
            "SELECT \"name\", \"order id\", \"user\" FROM \"tblusers\"");
}

TEST(PgDialect, SmallDateTimeRoundsToTheMinute) {
  EXPECT_EQ(SmallDateTimeLiteral("Mar 05, 2024 10:15:29"), "TIMESTAMP '2024-03-05 10:15:00'");
  EXPECT_EQ(SmallDateTimeLiteral("Mar 05, 2024 10:15:30"), "TIMESTAMP '2024-03-05 10:16:00'");
  EXPECT_EQ(SmallDateTimeLiteral("Dec 31, 2024 23:59:45"), "TIMESTAMP '2025-01-01 00:00:00'");
  EXPECT_EQ(SmallDateTimeLiteral("no date"), "");
  EXPECT_EQ(One("DELETE FROM tblPrintJobs WHERE DatePrinted >= CAST('Jan 01, 2024 00:00:00' AS "
                "smalldatetime) AND DatePrinted < CAST('Feb 01, 2024 00:00:00' AS smalldatetime)"),
            "DELETE FROM tblPrintJobs WHERE DatePrinted >= TIMESTAMP '2024-01-01 00:00:00' AND "
            "DatePrinted < TIMESTAMP '2024-02-01 00:00:00'");
  // Anything but a literal is rounded by the server.
  EXPECT_EQ(One("SELECT CAST(d AS smalldatetime) FROM t"),
            "SELECT date_trunc('minute', CAST(d AS timestamp) + interval '30 seconds') FROM t");
  // A literal right after the rewritten one stays a literal of its own, and
  // a placeholder does not run into the word beside it.
  EXPECT_EQ(One("SELECT a FROM t WHERE b=?AND c=?"), "SELECT a FROM t WHERE b=$1 AND c=$2");
  EXPECT_EQ(One("SELECT CAST('Jan 01, 2024 00:00:00' AS smalldatetime)'x'"),
            "SELECT TIMESTAMP '2024-01-01 00:00:00' 'x'");
}

TEST(PgDialect, LikePatternsBecomePostgresEscapes) {
  bool similar = true;
  EXPECT_EQ(LikePattern("HP[_]LASER%", similar), "HP\\_LASER%");
  EXPECT_FALSE(similar);
  EXPECT_EQ(LikePattern("[[]DRAFT]%", similar), "[DRAFT]%");
  EXPECT_FALSE(similar);
  EXPECT_EQ(LikePattern("\\\\SRV\\HP[_]1%", similar), "\\\\\\\\SRV\\\\HP\\_1%");
  EXPECT_EQ(LikePattern("50[%]%", similar), "50\\%%");
  EXPECT_EQ(LikePattern("O''B%", similar), "O''B%");
  // A real class has no LIKE form.
  EXPECT_EQ(LikePattern("[a-c]x(1)%", similar), "[a-c]x\\(1\\)%");
  EXPECT_TRUE(similar);

  EXPECT_EQ(One("SELECT * FROM tblPrintJobs P WHERE (UPPER(P.PrinterName) LIKE N'HP[_]%' OR "
                "UPPER(P.PrinterPort) LIKE N'HP[_]%')"),
            "SELECT * FROM tblPrintJobs P WHERE (kx4_upper(P.PrinterName) LIKE kx4_upper('HP\\_%') "
            "OR kx4_upper(P.PrinterPort) LIKE kx4_upper('HP\\_%'))");
  EXPECT_EQ(One("SELECT * FROM t WHERE a NOT LIKE '[a-c]%'"),
            "SELECT * FROM t WHERE kx4_upper(a) NOT SIMILAR TO kx4_upper('[a-c]%')");
  // A statement's own escape character becomes PostgreSQL's, and its
  // brackets still make classes, without regard to case.
  EXPECT_EQ(LikePattern("x!_!!!%[_]!", similar, '!'), "x\\_!\\%\\_!");
  EXPECT_FALSE(similar);
  EXPECT_EQ(LikePattern("![a-c]!''\\%", similar, '!'), "[a-c]''\\\\%");
  EXPECT_FALSE(similar);
  EXPECT_EQ(LikePattern("[a-c]!(%", similar, '!'), "[a-c]\\(%");
  EXPECT_TRUE(similar);
  EXPECT_EQ(LikePattern("5%%", similar, '%'), "5\\%");
  EXPECT_EQ(One("SELECT * FROM t WHERE a LIKE 'x!_%' ESCAPE '!' OR a LIKE '[a-c]#_' ESCAPE '#'"),
            "SELECT * FROM t WHERE kx4_upper(a) LIKE kx4_upper('x\\_%') ESCAPE kx4_upper('\\') OR "
            "kx4_upper(a) SIMILAR TO kx4_upper('[a-c]\\_') ESCAPE kx4_upper('\\')");
  // An escape the translation cannot read leaves the pattern as written.
  EXPECT_EQ(One("SELECT * FROM t WHERE a LIKE 'x!_%' ESCAPE ?"),
            "SELECT * FROM t WHERE kx4_upper(a) LIKE kx4_upper('x!_%') ESCAPE $1");
  EXPECT_EQ(One("SELECT * FROM t WHERE a LIKE b ESCAPE '!'"),
            "SELECT * FROM t WHERE kx4_upper(a) LIKE kx4_upper(b) ESCAPE kx4_upper('!')");
  // A pattern written right after LIKE stays apart from it once wrapped.
  EXPECT_EQ(One("SELECT 1 FROM tblUsers WHERE Name LIKE'a%'").find("LIKEkx4"), std::string::npos);
  // PostgreSQL's own quoting is left as written, not read as a plain literal.
  EXPECT_EQ(One("SELECT 1 WHERE 'a' LIKE E'a%'").find("''a%'"), std::string::npos);
  EXPECT_EQ(One("SELECT 1 WHERE 'a' LIKE $$a%$$").find("LIKE ''"), std::string::npos);
}

TEST(PgDialect, StatementsOfPostgresStayWhole) {
  EXPECT_EQ(Texts("SET statement_timeout = 0").size(), 1u);
  EXPECT_EQ(
      Texts("SET TRANSACTION ISOLATION LEVEL READ COMMITTED SELECT 1"),
      (std::vector<std::string>{"SET TRANSACTION ISOLATION LEVEL READ COMMITTED", "SELECT 1"}));
  EXPECT_EQ(Texts("SELECT a FROM t FOR UPDATE").size(), 1u);
  EXPECT_EQ(Texts("INSERT INTO t (a) VALUES (1) ON CONFLICT (a) DO UPDATE SET a = 2").size(), 1u);
  EXPECT_EQ(Texts("WITH x AS (SELECT 1 AS a) SELECT a FROM x").size(), 1u);
  EXPECT_EQ(Texts("SET NOCOUNT ON UPDATE t SET a = 1 SET NOCOUNT OFF"),
            (std::vector<std::string>{"UPDATE t SET a = 1"}));
}

TEST(PgDialect, ReadOnlySessionsRefuseWhatCouldLiftTheirState) {
  for (const char* sql : {
           "SET default_transaction_read_only = off",
           "SET SESSION default_transaction_read_only TO off",
           "set \"transaction_read_only\" = false",
           "RESET default_transaction_read_only",
           "RESET ALL",
           "SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE",
           "SET TRANSACTION READ WRITE",
           "SELECT set_config('default_transaction_read_only', 'off', false)",
           "SELECT pg_catalog.SET_CONFIG('transaction_read_only', 'off', true)",
           "BEGIN READ WRITE",
           "START TRANSACTION",
           "COMMIT",
           "DO $$BEGIN PERFORM 1; END$$",
           "SET ROLE postgres",
       }) {
    try {
      Texts(sql, true);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const EngineError& e) {
      ASSERT_EQ(e.Errors().size(), 1u);
      EXPECT_EQ(e.Errors()[0].NativeError, 3906) << sql;
      EXPECT_EQ(e.Errors()[0].SQLState, "25006") << sql;
    }
  }
  // Reading and the dialect's own options pass; the names inside literals
  // are data.
  EXPECT_NO_THROW(Texts("SET NOCOUNT ON SELECT COUNT(*) FROM tblUsers SET NOCOUNT OFF", true));
  EXPECT_NO_THROW(Texts("SELECT Name FROM tblUsers WHERE Name = N'commit'", true));
  EXPECT_NO_THROW(Texts("SET statement_timeout = 1000", true));
  // On a read/write session none of this is refused here.
  EXPECT_NO_THROW(Texts("BEGIN READ WRITE", false));
}

}  // namespace
}  // namespace kx4::ado::pg
