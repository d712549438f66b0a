// The PostgreSQL engine against the test server: connection strings, the
// storage conventions, the dialect's idioms and the errors callers test.
#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Database.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

using ado::adModeRead;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class PostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PostgresConfigured()) {
      if (Env("CI") == "true") {
        FAIL() << "KX4_TEST_PGHOST is not set: the PostgreSQL tests need the server that "
                  "scripts/test starts";
      }
      GTEST_SKIP() << "*** PostgreSQL tests SKIPPED: KX4_TEST_PGHOST is not set (run "
                      "scripts/test to start a test server) ***";
    }
    db_ = std::make_unique<TestDatabase>(Engine::kPostgres);
    c_ = db_->Connect();
  }

  std::shared_ptr<ado::Connection> Open(const std::string& connection_string,
                                        int32_t mode = ado::adModeReadWrite, int32_t timeout = 15) {
    auto c = std::make_shared<ado::Connection>();
    c->SetConnectionString(connection_string);
    c->SetMode(mode);
    c->SetConnectionTimeout(timeout);
    c->Open();
    return c;
  }

  Failure OpenFails(const std::string& connection_string, int32_t timeout = 15) {
    ado::Connection c;
    c.SetConnectionString(connection_string);
    c.SetConnectionTimeout(timeout);
    try {
      c.Open();
    } catch (const RuntimeError& e) {
      Failure f{e.Number(), {}};
      if (!c.Errors().empty()) {
        f.error = c.Errors().front();
      }
      return f;
    }
    ADD_FAILURE() << "connected: " << connection_string;
    return {};
  }

  std::string Port() const { return Env("KX4_TEST_PGPORT"); }
  std::string Login(const std::string& data_source, const std::string& user,
                    const std::string& password) const {
    return "Provider=SQLOLEDB;Data Source=" + data_source + ";Database=" + db_->Database() +
           ";User ID=" + user + ";Password=" + password;
  }

  int32_t Count(const std::string& sql) { return Scalar(c_, sql).ToLong(); }

  void AddJob(const std::string& port, const std::string& printer = "HP") {
    Execute(c_,
            "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, PrinterName, "
            "PrinterPort, ProcessName, PaperType, Document, Pages, Copies, PageWidth, PageHeight, "
            "PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, UserDefined1, "
            "UserDefined2, ConfigName, TrackStatus, PrintedToFile) VALUES (NULL, NULL, N'bob', "
            "NULL, N'" +
                printer + "', N'" + port +
                "', N'WORD.EXE', NULL, N'doc', 3, 2, 2159, "
                "2794, N'Letter', -1, ?, 1, GETDATE(), NULL, NULL, N'Default', 2, 0)",
            {Currency::Parse("0.05")});
  }

  std::unique_ptr<TestDatabase> db_;
  std::shared_ptr<ado::Connection> c_;
};

TEST_F(PostgresTest, ConnectsThroughEveryDataSourceForm) {
  const std::string role = "kx4_login_" + std::to_string(getpid());
  const std::string password = "p w'\"x";  // blanks and quotes reach the server unchanged
  Execute(c_, "CREATE ROLE " + role + " LOGIN PASSWORD 'p w''\"x'");
  for (const std::string& source : {"127.0.0.1," + Port(), "127.0.0.1:" + Port(),
                                    " localhost , " + Port(), "tcp:127.0.0.1," + Port()}) {
    auto c = Open(Login(source, role, password));
    EXPECT_EQ(Scalar(c, "SELECT current_user").ToString(), role) << source;
  }
  // A socket folder with its port, logging in as the operating-system user.
  auto trusted = Open("Provider=SQLOLEDB;Data Source=" + Env("KX4_TEST_PGHOST") + "," + Port() +
                      ";Database=" + db_->Database() + ";Trusted_Connection=Yes;");
  EXPECT_EQ(Scalar(trusted, "SELECT current_database()").ToString(), db_->Database());

  Failure wrong = OpenFails(Login("127.0.0.1," + Port(), role, "nope"));
  EXPECT_EQ(wrong.hresult, ado::kErrProviderFailure);
  EXPECT_EQ(wrong.error.NativeError, 18456);
  EXPECT_EQ(wrong.error.SQLState, "28P01");
  EXPECT_NE(wrong.error.Description.find("password authentication failed"), std::string::npos);
  // Over TCP the server wants a password, which a trusted login has not.
  EXPECT_EQ(OpenFails("Provider=SQLOLEDB;Data Source=127.0.0.1," + Port() +
                      ";Database=" + db_->Database() + ";Trusted_Connection=Yes;")
                .error.NativeError,
            18456);
  Execute(c_, "DROP ROLE " + role);
}

TEST_F(PostgresTest, UnknownDatabaseAndMissingServer) {
  Failure unknown = OpenFails("Provider=SQLOLEDB;Data Source=" + db_->Server() +
                              ";Database=kx4_no_such_db;Trusted_Connection=Yes;");
  EXPECT_EQ(unknown.hresult, ado::kErrProviderFailure);
  EXPECT_EQ(unknown.error.NativeError, 4060);
  EXPECT_EQ(unknown.error.SQLState, "3D000");

  Failure down = OpenFails(
      "Provider=SQLOLEDB;Data Source=127.0.0.1,1;Database=x;User ID=a;"
      "Password=b",
      1);
  EXPECT_EQ(down.hresult, ado::kErrProviderFailure);
  EXPECT_EQ(down.error.NativeError, 17);
  EXPECT_FALSE(down.error.Description.empty());

  Failure named = OpenFails(
      "Provider=SQLOLEDB;Data Source=SRV1\\SQLEXPRESS;Database=x;"
      "Trusted_Connection=Yes;");
  EXPECT_EQ(named.error.NativeError, 17);
}

TEST_F(PostgresTest, TextKeepsTrailingBlanksAndComparesWithoutCase) {
  Execute(c_,
          "INSERT INTO tblApplications (Name, Description, TrackOptionId) VALUES "
          "(N'Word  ', N'  x', 2)");
  EXPECT_EQ(Scalar(c_, "SELECT Name FROM tblApplications").ToString(), "Word  ");
  auto bracketed = Query(c_, "SELECT [Name] AS [User] FROM [tblApplications]");
  EXPECT_EQ(bracketed->Fields(0).Name(), "User");
  EXPECT_EQ(bracketed->Fields("User").Value(), Variant("Word  "));
  EXPECT_EQ(Scalar(c_, "SELECT Description FROM tblApplications").ToString(), "  x");

  Execute(c_,
          "INSERT INTO tblValidatedValues (Description, Code, CostModifier, Active) VALUES "
          "(NULL, N'abc', '0', -1)");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblValidatedValues WHERE Code = N'ABC'"), 1);
  EXPECT_EQ(Scalar(c_, "SELECT COUNT(*) FROM tblValidatedValues WHERE Code = ?", {Variant("aBc")})
                .ToLong(),
            1);
  // Codes are unique without regard to case; PIN codes compare exactly.
  Failure duplicate = Fails(c_,
                            "INSERT INTO tblValidatedValues (Description, Code, CostModifier, "
                            "Active) VALUES (NULL, N'ABC', '0', -1)");
  EXPECT_EQ(duplicate.error.NativeError, 2601);
  Execute(c_,
          "INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, "
          "AdminSecurity, ReportSecurity) VALUES (?, ?, 0, 0, -1, 0, 0)",
          {Variant("AbC="), Variant("x")});
  EXPECT_EQ(
      Scalar(c_, "SELECT COUNT(*) FROM tblUsers WHERE PinCode = ?", {Variant("abc=")}).ToLong(), 0);
  EXPECT_NO_THROW(Execute(c_, "INSERT INTO tblUsers(PinCode, Name) VALUES (?, ?)",
                          {Variant("abc="), Variant("y")}));
}

TEST_F(PostgresTest, FlagsStoreOneAndReadAsBooleans) {
  Execute(c_,
          "SET NOCOUNT ON INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining, Active, "
          "AdminSecurity, ReportSecurity) VALUES (?, ?, ?, ?, ?, ?, ?) SET NOCOUNT OFF SELECT "
          "@@IDENTITY AS NewId",
          {Variant("pin"), Variant("Ann"), Variant(int16_t{-1}), Variant(Currency::FromTicks(0)),
           Variant(int16_t{-1}), Variant(int16_t{0}), Variant(int32_t{2})});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblUsers WHERE UseQuota = 1 AND Active = 1"), 1);
  Execute(c_, "UPDATE tblUsers SET AdminSecurity = -1");
  EXPECT_EQ(Count("SELECT COUNT(*) AS AdminCount FROM tblUsers WHERE AdminSecurity = 1 "), 1);
  EXPECT_EQ(Count("SELECT AdminSecurity + 0 FROM tblUsers"), 1);  // stored as 1, not -1

  auto rs = Query(c_,
                  "SELECT UserId, Name, UseQuota, QuotaRemaining, Active, AdminSecurity, "
                  "ReportSecurity FROM tblUsers");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Fields("UseQuota").Type(), ado::adBoolean);
  EXPECT_EQ(rs->Fields("UseQuota").Value(), Variant(true));
  EXPECT_EQ(rs->Fields("AdminSecurity").Value(), Variant(true));
  EXPECT_EQ(rs->Fields("ReportSecurity").Type(), ado::adSmallInt);
  EXPECT_EQ(rs->Fields("ReportSecurity").Value(), Variant(int16_t{2}));
  EXPECT_EQ(rs->Fields("UserId").Type(), ado::adInteger);
  EXPECT_EQ(rs->Fields("Name").Type(), ado::adVarWChar);
  EXPECT_EQ(rs->Fields("QuotaRemaining").Type(), ado::adCurrency);

  // The settings row: every flag of it, written with the library's -1.
  Execute(c_, "UPDATE tblSettings SET SecureAdmin = -1, SecureViewer = 0");
  rs = Query(c_, "SELECT SecureAdmin, SecureViewer FROM tblSettings");
  EXPECT_EQ(rs->Fields("SecureAdmin").Value(), Variant(true));
  EXPECT_EQ(rs->Fields("SecureViewer").Value(), Variant(false));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblSettings WHERE SecureAdmin = 1"), 1);
  // A computed value is no longer the flag column.
  EXPECT_EQ(
      Query(c_, "SELECT SecureAdmin + SecureViewer AS Both FROM tblSettings")->Fields(0).Type(),
      ado::adSmallInt);
}

// The catalogue is read when connecting; a table another session creates
// later is looked up when its rows first arrive.
TEST_F(PostgresTest, FlagsOfATableCreatedLaterReadAsBooleans) {
  auto other = db_->Connect();
  Execute(other, "CREATE TABLE tblLater (Id integer, Done flag)");
  Execute(other, "INSERT INTO tblLater (Id, Done) VALUES (1, 1)");
  for (int i = 0; i < 2; ++i) {
    auto rs = Query(c_, "SELECT Id, Done FROM tblLater");
    ASSERT_FALSE(rs->Eof());
    EXPECT_EQ(rs->Fields("Done").Type(), ado::adBoolean);
    EXPECT_EQ(rs->Fields("Done").Value(), Variant(true));
    EXPECT_EQ(rs->Fields("Id").Type(), ado::adInteger);
  }
}

TEST_F(PostgresTest, MoneyIsExactBothWays) {
  const Currency large = Currency::Parse("123456789012.3456");
  Execute(c_,
          "INSERT INTO tblUsers(PinCode, Name, UseQuota, QuotaRemaining) VALUES "
          "(N'p', N'n', -1, ?)",
          {Variant(large)});
  EXPECT_EQ(Scalar(c_, "SELECT QuotaRemaining FROM tblUsers").ToCurrency(), large);
  for (int i = 0; i < 3; ++i) {
    Execute(c_, "UPDATE tblUsers SET QuotaRemaining = QuotaRemaining - ? WHERE UseQuota = 1",
            {Variant(Currency::Parse("0.1"))});
  }
  EXPECT_EQ(Scalar(c_, "SELECT QuotaRemaining FROM tblUsers").ToCurrency(),
            Currency::Parse("123456789012.0456"));
  EXPECT_EQ(Scalar(c_, "SELECT COUNT(*) FROM tblUsers WHERE QuotaRemaining = ?",
                   {Variant(Currency::Parse("123456789012.0456"))})
                .ToLong(),
            1);
  // Aggregates of money stay money; AVG rounds to the ten-thousandth, half
  // away from zero.
  Execute(c_, "INSERT INTO tblUsers(PinCode, Name, QuotaRemaining) VALUES (N'q', N'm', 0.0001)");
  auto rs = Query(c_,
                  "SELECT SUM(QuotaRemaining) AS Total, AVG(U.QuotaRemaining) AS Mean, "
                  "MIN(QuotaRemaining), COUNT(*) AS N FROM tblUsers U");
  EXPECT_EQ(rs->Fields("Total").Type(), ado::adCurrency);
  EXPECT_EQ(rs->Fields("Total").Value(), Variant(Currency::Parse("123456789012.0457")));
  EXPECT_EQ(rs->Fields("Mean").Value(), Variant(Currency::Parse("61728394506.0229")));
  EXPECT_EQ(rs->Fields(2).Value(), Variant(Currency::Parse("0.0001")));
  EXPECT_EQ(rs->Fields("N").Value(), Variant(int32_t{2}));
}

TEST_F(PostgresTest, JobsGetTheServerClockAndSmallDateTimeStamps) {
  const DateTime before = DateTime::Now();
  AddJob("LPT1");
  auto rs = Query(c_, "SELECT DatePrinted, Color, CostPerUnit FROM tblPrintJobs");
  EXPECT_EQ(rs->Fields("DatePrinted").Type(), ado::adDBTimeStamp);
  const int64_t printed = rs->Fields("DatePrinted").Value().ToDate().Seconds();
  EXPECT_LE(std::llabs(printed - before.Seconds()), 120);
  EXPECT_EQ(rs->Fields("Color").Value(), Variant(true));
  EXPECT_EQ(rs->Fields("CostPerUnit").Value(), Variant(Currency::Parse("0.05")));
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs WHERE Accounted = 0 AND AccountedOn IS NULL"),
            1);

  EXPECT_EQ(Execute(c_,
                    "UPDATE tblPrintJobs SET Accounted = 1, AccountedOn = CAST('Mar 05, 2024 "
                    "10:15:30' AS smalldatetime) WHERE (Accounted = 0 OR Accounted = 1)"),
            1);
  EXPECT_EQ(Scalar(c_, "SELECT AccountedOn FROM tblPrintJobs").ToDate(),
            DateTime::FromCivil(2024, 3, 5, 10, 16, 0));
  // Every comparison goes through the same rounding, so a run finds its jobs.
  EXPECT_EQ(Execute(c_,
                    "UPDATE tblPrintJobs SET Accounted = 2 WHERE Accounted = 1 AND "
                    "AccountedOn = CAST('Mar 05, 2024 10:16:10' AS smalldatetime) "),
            1);
}

TEST_F(PostgresTest, LikeBracketPatternsMatchLiterally) {
  AddJob("\\\\SRV\\HP_1");
  AddJob("\\\\SRV\\HPX1");
  AddJob("[Q]2");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs P WHERE UPPER(P.PrinterPort) LIKE "
                  "N'\\\\SRV\\HP[_]%'"),
            1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs P WHERE UPPER(P.PrinterPort) LIKE "
                  "N'\\\\SRV\\HP_%'"),
            2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs P WHERE UPPER(P.PrinterPort) LIKE N'[[]Q]%'"),
            1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs P WHERE LOWER(P.NetworkUser) LIKE N'b%'"), 3);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs P WHERE P.PrinterPort LIKE '[[]a-z]%'"), 0);
}

TEST_F(PostgresTest, ErrorsCarryTheNumbersCallersTest) {
  struct Case {
    const char* sql;
    int32_t native;
    const char* sqlstate;
    int32_t hresult = ado::kErrCommandFailed;
  };
  Execute(c_,
          "INSERT INTO tblPaperTypes (Description, CostModifier, ListPosition, Active, "
          "DefaultType) VALUES (N'A4', 0, 1, -1, 0)");
  for (const Case& c : {
           Case{"INSERT INTO tblPaperTypes (Description) VALUES (N'a4')", 2601, "23505",
                ado::kErrIntegrityViolation},
           Case{"INSERT INTO tblTrackOptions (TrackOptionId, Description) OVERRIDING SYSTEM "
                "VALUE VALUES (1, 'again')",
                2627, "23505", ado::kErrIntegrityViolation},
           Case{"INSERT INTO tblTrackOptions (TrackOptionId, Description) VALUES (9, 'x')", 544,
                "428C9"},
           Case{"SELECT 1/0", 8134, "22012"},
           Case{"SELECT CAST('x' AS integer)", 245, "22P02"},
       }) {
    Failure f = Fails(c_, c.sql);
    EXPECT_EQ(f.hresult, c.hresult) << c.sql;
    EXPECT_EQ(f.error.NativeError, c.native) << c.sql;
    EXPECT_EQ(f.error.SQLState, c.sqlstate) << c.sql;
    EXPECT_EQ(f.error.Source, "PostgreSQL") << c.sql;
    EXPECT_FALSE(f.error.Description.empty()) << c.sql;
  }
  // The connection goes on working after each.
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPaperTypes"), 1);
}

TEST_F(PostgresTest, ReadModeCannotWriteNorBeUnlocked) {
  auto reader = db_->Connect(adModeRead);
  for (const char* unlock : {"SET default_transaction_read_only = off",
                             "SET SESSION CHARACTERISTICS AS TRANSACTION "
                             "READ WRITE",
                             "SELECT set_config('default_transaction_read_only', 'off', false)",
                             "SELECT U&\"set\\005fconfig\"('default_transaction_read_only', "
                             "'off', false)",
                             "SELECT U&\"default!005ftransaction!005fread!005fonly\" UESCAPE '!'",
                             "BEGIN READ WRITE", "COMMIT"}) {
    EXPECT_EQ(Fails(reader, unlock).error.NativeError, 3906) << unlock;
  }
  Failure write = Fails(reader, "UPDATE tblSettings SET SecureAdmin = -1");
  EXPECT_EQ(write.error.NativeError, 3906);
  EXPECT_EQ(write.error.SQLState, "25006");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblSettings WHERE SecureAdmin = 0"), 1);
}

TEST_F(PostgresTest, StatementTimeOutFollowsTheCommand) {
  EXPECT_EQ(Fails(c_, "SELECT pg_sleep(5)", {}, 1).error.SQLState, "57014");
  // The limit changes with the command, and 0 lifts it.
  ado::Command command;
  command.SetCommandText("SELECT pg_sleep(1.2)");
  command.SetCommandTimeout(0);
  command.SetActiveConnection(c_);
  EXPECT_NO_THROW(command.Execute());
}

TEST_F(PostgresTest, ABackslashIsNoEscapeWhateverTheDatabaseSays) {
  Execute(c_, "ALTER DATABASE \"" + db_->Database() + "\" SET standard_conforming_strings = off");
  auto fresh = db_->Connect();
  EXPECT_EQ(Scalar(fresh, "SELECT 'a\\' AS x").ToString(), "a\\");
}

TEST_F(PostgresTest, ReadModeAppliesTheTimeOutToEveryBatch) {
  auto reader = db_->Connect(adModeRead);
  ado::Command lift;
  lift.SetCommandText("SET statement_timeout = 0");
  lift.SetCommandTimeout(1);
  lift.SetActiveConnection(reader);
  lift.Execute();
  // The next batch runs under its own limit again, the same as before.
  Failure slow = Fails(reader, "SELECT pg_sleep(3)", {}, 1);
  EXPECT_EQ(slow.error.NativeError, -2);
}

// Rows are read once the batch has run on the server; a value that cannot be
// read still undoes the batch, inside a transaction or not.
TEST_F(PostgresTest, RowsThatCannotBeReadUndoTheirBatch) {
  const std::string batch =
      "INSERT INTO tblApplications (Name) VALUES (N'x') "
      "SELECT CAST(999999999999999.9999 AS money) AS Big";
  auto unreadable = [&] {
    EXPECT_THROW(Query(c_, batch), RuntimeError);
    ASSERT_FALSE(c_->Errors().empty());
    EXPECT_EQ(c_->Errors().front().NativeError, 8115);
  };
  unreadable();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications"), 0);
  c_->BeginTrans();
  Execute(c_, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  unreadable();
  Execute(c_, "INSERT INTO tblApplications (Name) VALUES (N'b')");
  c_->CommitTrans();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications WHERE Name <> N'x'"), 2);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications"), 2);
}

// Rows arrive one at a time into the record set: many of them whole and in
// order; a failure after the first rows fails the batch and undoes it, and
// the connection serves on; of several result sets only the last is read.
TEST_F(PostgresTest, StreamedRowsArriveWholeAndAFailurePartWayUndoesTheBatch) {
  auto rs = Query(c_,
                  "SELECT N, 'row ' + CAST(N AS varchar(10)) AS T FROM "
                  "(SELECT generate_series(1, 20000) AS N) S ORDER BY N");
  ASSERT_EQ(rs->RecordCount(), 20000);
  for (int32_t n = 1; !rs->Eof(); rs->MoveNext(), ++n) {
    ASSERT_EQ(rs->Fields("N").Value(), Variant(n));
    ASSERT_EQ(rs->Fields("T").Value().ToString(), "row " + std::to_string(n));
  }

  const std::string failing =
      "INSERT INTO tblApplications (Name) VALUES (N'x') "
      "SELECT 10 / (5000 - N) AS Q FROM (SELECT generate_series(1, 9000) AS N) S";
  auto fails = [&] {
    EXPECT_THROW(Query(c_, failing), RuntimeError);
    ASSERT_FALSE(c_->Errors().empty());
    EXPECT_EQ(c_->Errors().front().NativeError, 8134);
  };
  fails();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications"), 0);
  c_->BeginTrans();
  Execute(c_, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  fails();
  c_->CommitTrans();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications"), 1);

  rs = Query(c_, "SELECT Name FROM tblApplications SELECT 7 AS Last");
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("Last").Value(), Variant(int32_t{7}));
  rs = Query(c_,
             "SELECT Name FROM tblApplications SELECT Name AS Other FROM tblApplications "
             "WHERE Name = N'none'");
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->Fields(0).Name(), "Other");
}

TEST_F(PostgresTest, RealsAndDatesRoundTrip) {
  auto rs = Query(c_, "SELECT CAST(? AS float8) AS D, CAST(? AS real) AS S, ? AS T",
                  {Variant(0.1), Variant(1.5f), Variant(DateTime::FromCivil(1899, 12, 30, 6))});
  EXPECT_EQ(rs->Fields("D").Type(), ado::adDouble);
  EXPECT_EQ(rs->Fields("D").Value(), Variant(0.1));
  EXPECT_EQ(rs->Fields("S").Type(), ado::adSingle);
  EXPECT_EQ(rs->Fields("S").Value(), Variant(1.5f));
  EXPECT_EQ(rs->Fields("T").Type(), ado::adDBTimeStamp);
  EXPECT_EQ(rs->Fields("T").Value(), Variant(DateTime::FromCivil(1899, 12, 30, 6)));
}

TEST_F(PostgresTest, DatabasesWithoutTheCaseRulesAreRefused) {
  const auto reason = [&] {
    Failure f = OpenFails(db_->ConnectionString());
    EXPECT_EQ(f.hresult, ado::kErrProviderFailure);
    EXPECT_EQ(f.error.NativeError, 50001);
    return f.error.Description;
  };
  // A function folded otherwise (by the server's locale, say).
  Execute(c_,
          "CREATE OR REPLACE FUNCTION kx4_lower(text) RETURNS text LANGUAGE sql IMMUTABLE AS "
          "'SELECT pg_catalog.lower($1)'");
  EXPECT_NE(reason().find("kx4_key are not the ones this library creates"), std::string::npos);
  Execute(c_, "DROP FUNCTION kx4_lower(text)");
  EXPECT_NE(reason().find("lacks the functions"), std::string::npos);

  // A database in another encoding, made without the library.
  const std::string name = db_->Database() + "_latin1";
  const char* keys[] = {"host", "port", "dbname", nullptr};
  const std::string port = Port();
  const char* values[] = {std::getenv("KX4_TEST_PGHOST"), port.c_str(), "postgres", nullptr};
  PGconn* admin = PQconnectdbParams(keys, values, 0);
  ASSERT_EQ(PQstatus(admin), CONNECTION_OK) << PQerrorMessage(admin);
  PQclear(PQexec(admin, ("CREATE DATABASE " + name +
                         " TEMPLATE template0 ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C'")
                            .c_str()));
  Failure latin = OpenFails("Provider=SQLOLEDB;Data Source=" + db_->Server() + ";Database=" + name +
                            ";Trusted_Connection=Yes;");
  EXPECT_EQ(latin.error.NativeError, 50001) << latin.error.Description;
  EXPECT_NE(latin.error.Description.find("encoded in LATIN1, not in UTF8"), std::string::npos)
      << latin.error.Description;
  PQclear(PQexec(admin, ("DROP DATABASE " + name).c_str()));
  PQfinish(admin);
}

TEST_F(PostgresTest, CreatingAndDroppingDatabases) {
  EXPECT_THROW(ado::CreateDatabase(db_->ConnectionString()), RuntimeError);
  const std::string missing = "Provider=SQLOLEDB;Data Source=" + db_->Server() +
                              ";Database=kx4_never_made;Trusted_Connection=Yes;";
  EXPECT_NO_THROW(ado::DropDatabase(missing));
  // Dropping ends the sessions still connected to it.
  TestDatabase other(Engine::kPostgres);
  auto held = other.Connect();
  ado::DropDatabase(other.ConnectionString());
  Failure gone = Fails(held, "SELECT 1");
  EXPECT_EQ(gone.hresult, ado::kErrProviderFailure);
  ado::CreateDatabase(other.ConnectionString());  // for its own destructor to drop
}

}  // namespace
}  // namespace kx4::test
