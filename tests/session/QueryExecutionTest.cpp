#include <kx4data/KXData.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <limits>

#include <kx4data/ado/Recordset.h>

#include "dataaccess/Command.h"
#include "dataaccess/Connection.h"
#include "dataaccess/Engine.h"
#include "session/BuildDataError.h"
#include "session/QueryExecution.h"
#include "session/SessionSupport.h"
#include "support/GermanLocale.h"
#include "support/TempDir.h"

namespace kx4 {
namespace {

using test::SessionTest;

constexpr const char* kNoRecordset =
    "Call succeeded but returned an invalid recordset. Should use Data:ExecuteNoRecords";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// --- Binding ---

TEST(AddParameters, TypesSizesAndNamesByElement) {
  ado::Command command;
  VariantArray values{Variant(int16_t{1}),
                      Variant(int32_t{2}),
                      Variant(1.5f),
                      Variant(2.5),
                      Variant(Currency::FromTicks(12345)),
                      Variant(DateTime::FromCivil(2026, 12, 7, 22, 6, 29)),
                      Variant("na\xc3\xafve \xe6\x97\xa5"),  // 7 characters, 10 bytes
                      Variant(uint8_t{7}),
                      Variant(true),
                      Variant::Null(),
                      Variant()};
  AddParameters(command, Variant(values));
  const auto& p = command.Parameters();
  ASSERT_EQ(p.size(), 11u);
  const int32_t types[] = {ado::adSmallInt, ado::adInteger, ado::adSingle,   ado::adDouble,
                           ado::adCurrency, ado::adDate,    ado::adVarWChar, ado::adTinyInt,
                           ado::adNumeric,  ado::adNumeric, ado::adNumeric};
  for (size_t i = 0; i < p.size(); ++i) {
    EXPECT_EQ(p[i].Name(), "Par" + std::to_string(i));
    EXPECT_EQ(p[i].Type(), types[i]) << i;
    EXPECT_EQ(p[i].Direction(), ado::adParamInput);
    EXPECT_EQ(p[i].Size(), i == 6 ? 7 : 0) << i;
    EXPECT_EQ(p[i].Value(), values[static_cast<int32_t>(i)]) << i;
  }
}

TEST(AddParameters, EmptyTextIsNullOfSizeOneAndBoundsNameTheParameters) {
  ado::Command command;
  AddParameters(command, Variant(VariantArray({Variant(""), Variant("x")}, 1)));
  const auto& p = command.Parameters();
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].Name(), "Par1");
  EXPECT_EQ(p[0].Type(), ado::adVarWChar);
  EXPECT_EQ(p[0].Size(), 1);
  EXPECT_TRUE(p[0].Value().IsNull());
  EXPECT_EQ(p[1].Name(), "Par2");

  // Anything but an array binds nothing.
  ado::Command single;
  AddParameters(single, Variant(5));
  AddParameters(single, Variant::Null());
  AddParameters(single, Variant());
  EXPECT_TRUE(single.Parameters().empty());
}

// --- Building an error ---

TEST(BuildDataError, LaysOutTheRunTimeAndProviderErrors) {
  ado::Connection connection;
  try {
    connection.Fail(std::make_exception_ptr(ado::EngineError(
        ado::kErrCommandFailed,
        {{547, "first", "23000", "p"}, {3621, "second", "01000", "p"}, {7, "third", "", "p"}})));
  } catch (const RuntimeError& failure) {
    KXErrorPtr error = BuildDataError("Could not execute query.", failure, "Agent", &connection);
    EXPECT_EQ(error->Number(), 547);
    EXPECT_EQ(error->IconType(), 16);
    EXPECT_EQ(error->KXErrorNumber(), erUnknown);
    EXPECT_EQ(error->Message(),
              "Could not execute query.\r\nUnexpected error occurred in Agent\r\n" +
                  failure.Description() + "\r\n3621 - second\r\n7 - third\r\n");
    return;
  }
  FAIL() << "Fail did not throw";
}

TEST(BuildDataError, WithoutProviderErrorsTheRunTimeNumberStands) {
  KXErrorPtr error = BuildDataError("Could not begin transaction.", RuntimeError(-1, "why"),
                                    "KXData:BeginTrans", nullptr);
  EXPECT_EQ(error->Number(), -1);
  EXPECT_EQ(error->Message(),
            "Could not begin transaction.\r\nUnexpected error occurred in KXData:BeginTrans\r\n"
            "why\r\n");
}

// --- Statements on both engines ---

class QueryExecution : public SessionTest {
 protected:
  void AddApplications(int count) {
    auto raw = Connect();
    for (int i = 0; i < count; ++i) {
      test::Execute(raw,
                    "INSERT INTO tblApplications (Name, Description, TrackOptionId) "
                    "VALUES (?, N'word', 2)",
                    {Variant("App" + std::to_string(i))});
    }
  }
  int32_t Count(const std::string& sql) { return test::Scalar(Connect(), sql).ToLong(); }
};

TEST_P(QueryExecution, NoRecordsCountsTheRowsChanged) {
  AddApplications(3);
  KXData session;
  int32_t affected = -5;
  ASSERT_EQ(KXDataInternal::ExecuteNoRecords(session,
                                             "UPDATE tblApplications SET TrackOptionId = 3 "
                                             "WHERE Description = ?",
                                             Variant(VariantArray{Variant("word")}), affected),
            nullptr);
  EXPECT_EQ(affected, 3);
  ASSERT_EQ(KXDataInternal::ExecuteNoRecords(
                session, "DELETE FROM tblApplications WHERE Name = N'none'", affected),
            nullptr);
  EXPECT_EQ(affected, 0);
}

TEST_P(QueryExecution, RecordSetsAreDisconnectedAndOutliveTheSession) {
  AddApplications(2);
  std::shared_ptr<ado::Recordset> rs;
  {
    KXData session;
    ASSERT_EQ(KXDataInternal::ExecuteSQL(session, rs,
                                         "SELECT Name FROM tblApplications WHERE Name <> ? "
                                         "ORDER BY Name",
                                         Variant(VariantArray{Variant("none")})),
              nullptr);
    // Idle: the on-demand connection lived for that statement only.
    EXPECT_EQ(KXDataTestPeer::Connection(session), nullptr);
  }
  ASSERT_EQ(rs->State(), ado::adStateOpen);
  EXPECT_EQ(rs->CursorLocation(), ado::adUseClient);
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields("Name").Value().ToString(), "App0");
}

TEST_P(QueryExecution, EmptyTextParameterComparesWithNull) {
  AddApplications(1);
  KXData session;
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(
      KXDataInternal::ExecuteSQL(session, rs, "SELECT COUNT(*) FROM tblApplications WHERE Name = ?",
                                 Variant(VariantArray{Variant("")})),
      nullptr);
  EXPECT_EQ(rs->Fields(0).Value().ToLong(), 0);
}

TEST_P(QueryExecution, InsertThroughExecuteSQLIsAnErrorAndLogged) {
  KXData session;
  session.SetCaller("Agent");
  const std::string sql = "INSERT INTO tblApplications (Name) VALUES (N'x')";
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr error = KXDataInternal::ExecuteSQL(session, rs, sql);
  ASSERT_TRUE(error);
  EXPECT_EQ(rs, nullptr);
  EXPECT_EQ(error->Number(), -1);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message(), std::string("Could not execute query.\r\nUnexpected error occurred "
                                          "in Agent\r\n") +
                                  kNoRecordset + "\r\n");
  EXPECT_EQ(test::ErrorLog(),
            "\"Data error: -1 - " + error->Message() + "\"\r\n\"" + sql + "\"\r\n");
}

TEST_P(QueryExecution, DuplicateIndexKeyIsReturnedButNotLogged) {
  test::Execute(Connect(), "INSERT INTO tblPaperTypes (Description) VALUES (N'A4')");
  KXData session;
  int32_t affected = 0;
  KXErrorPtr error = KXDataInternal::ExecuteNoRecords(
      session, "INSERT INTO tblPaperTypes (Description) VALUES (N'A4')", affected);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), 2601);
  EXPECT_EQ(test::ErrorLog(), "");

  // A violated primary key is not the uniqueness guard: it is logged.
  auto raw = Connect();
  test::Execute(raw, "CREATE TABLE tblProbe (ProbeId INT NOT NULL PRIMARY KEY)");
  test::Execute(raw, "INSERT INTO tblProbe (ProbeId) VALUES (1)");
  error = KXDataInternal::ExecuteNoRecords(session, "INSERT INTO tblProbe (ProbeId) VALUES (1)",
                                           affected);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), 2627);
  EXPECT_TRUE(StartsWith(test::ErrorLog(), "\"Data error: 2627 - Could not execute query."));
}

TEST_P(QueryExecution, AnEmptyCallerBecomesTheExecutingProcedure) {
  KXData session;
  session.SetCaller("   ");
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr error =
      KXDataInternal::ExecuteSQL(session, rs, "SELECT NoSuchColumn FROM tblSettings");
  ASSERT_TRUE(error);
  EXPECT_TRUE(StartsWith(error->Message(),
                         "Could not execute query.\r\nUnexpected error occurred "
                         "in KXData:minsExecuteQuery\r\n"))
      << error->Message();
  EXPECT_NE(error->Number(), 0);
  EXPECT_EQ(session.Caller(), "KXData:minsExecuteQuery");
  // The on-demand connection was closed after the failure too.
  EXPECT_EQ(KXDataTestPeer::Connection(session), nullptr);
}

TEST_P(QueryExecution, StatementsRunWithTheSettingsQueryTimeout) {
  KXData session;
  KXDataInternal::ConnectionVariables(session)->SetQueryTimeout(0);  // no limit: still runs
  int32_t affected = 0;
  EXPECT_EQ(
      KXDataInternal::ExecuteNoRecords(session, "UPDATE tblSettings SET MaxBatch = 1", affected),
      nullptr);
  EXPECT_EQ(affected, 1);
}

// --- Transactions ---

TEST_P(QueryExecution, TransactionsNeedAConnection) {
  KXData session;
  KXErrorPtr error = session.BeginTrans();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), "Could not begin transaction. No active connection.");
  EXPECT_EQ(error->IconType(), 16);
  session.SetInTransaction(true);
  error = session.CommitTrans();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), "There is no active connection.");
  EXPECT_EQ(error->IconType(), 48);
  EXPECT_FALSE(session.InTransaction());
  session.SetInTransaction(true);
  error = session.RollbackTrans();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), "There is no active connection.");
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_FALSE(session.InTransaction());
}

TEST_P(QueryExecution, TransactionsDoNotNest) {
  KXData session;
  ASSERT_EQ(session.EstablishConnection(true), nullptr);
  int32_t affected = 0;
  ASSERT_EQ(session.BeginTrans(), nullptr);
  ASSERT_EQ(session.BeginTrans(), nullptr);  // no nested transaction
  EXPECT_TRUE(session.InTransaction());
  ASSERT_EQ(KXDataInternal::ExecuteNoRecords(
                session, "INSERT INTO tblApplications (Name) VALUES (N'a')", affected),
            nullptr);
  ASSERT_EQ(session.CommitTrans(), nullptr);  // commits everything
  EXPECT_FALSE(session.InTransaction());
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications"), 1);

  ASSERT_EQ(session.BeginTrans(), nullptr);
  ASSERT_EQ(KXDataInternal::ExecuteNoRecords(
                session, "INSERT INTO tblApplications (Name) VALUES (N'b')", affected),
            nullptr);
  ASSERT_EQ(session.RollbackTrans(), nullptr);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications"), 1);

  // Without an open transaction a commit changes nothing and succeeds.
  EXPECT_EQ(session.CommitTrans(), nullptr);
  EXPECT_FALSE(session.InTransaction());
}

// --- Report statements ---

TEST_P(QueryExecution, ReportsNeedAReadOnlySessionAndReportRights) {
  KXData writer;
  KXDataTestPeer::Grant(writer, kxsAdmin);
  std::shared_ptr<ado::Recordset> rs;
  KXErrorPtr error = writer.ExecuteReportSQL(rs, "SELECT 1");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->KXErrorNumber(), erInvalidSecurity);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_EQ(error->Message(), "You can only use this method on a read-only connection.");

  KXData reader;
  reader.SetReadOnly(true);
  KXDataTestPeer::Grant(reader, kxsReporterOwn);
  error = reader.ExecuteReportSQL(rs, "SELECT 1");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), "You do not have the proper access to execute this method.");
  EXPECT_EQ(error->IconType(), 48);

  KXDataTestPeer::Grant(reader, kxsReporterAll);
  ASSERT_EQ(reader.ExecuteReportSQL(rs, "SELECT Version FROM tblSettings WHERE Version = ?",
                                    Variant(VariantArray{Variant(int16_t{4})})),
            nullptr);
  EXPECT_EQ(rs->Fields(0).Value().ToLong(), 4);
}

TEST_P(QueryExecution, ReportsRefuseAnythingButOneReadingStatement) {
  KXData reader;
  reader.SetReadOnly(true);
  KXDataTestPeer::Grant(reader, kxsAdmin);
  for (const char* sql :
       {"UPDATE tblSettings SET MaxBatch = 7", "SELECT 1; UPDATE tblSettings SET MaxBatch = 7",
        "SELECT * INTO tblCopy FROM tblSettings"}) {
    std::shared_ptr<ado::Recordset> rs;
    KXErrorPtr error = reader.ExecuteReportSQL(rs, sql);
    ASSERT_TRUE(error) << sql;
    EXPECT_EQ(error->KXErrorNumber(), erInvalidSecurity);
    EXPECT_TRUE(StartsWith(error->Message(),
                           "You can only run a single SELECT statement with this method."));
  }
  // Nothing reached the engine: no change, no failed statement in the log.
  EXPECT_EQ(Count("SELECT MaxBatch FROM tblSettings"), 0);
  EXPECT_EQ(test::ErrorLog(), "");
}

// --- Value probe ---

TEST_P(QueryExecution, DataValueExistsProbesTextAndNumbers) {
  auto raw = Connect();
  test::Execute(raw, "INSERT INTO tblUsers (PinCode, Name) VALUES (N'p1', N'Smith')");
  test::Execute(raw, "INSERT INTO tblUsers (PinCode, Name) VALUES (N'p2', N'\xc3\x89mile')");
  KXData session;
  bool exists = false;
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "Name", Variant("smith")), nullptr);
  EXPECT_TRUE(exists);
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "Name", Variant("\xc3\xa9mile")), nullptr);
  EXPECT_TRUE(exists);  // case folded beyond ASCII
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "PinCode", Variant("P1"), true), nullptr);
  EXPECT_FALSE(exists);
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "Name", Variant("")), nullptr);
  EXPECT_FALSE(exists);
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "UserId", Variant(int32_t{2})), nullptr);
  EXPECT_TRUE(exists);
  ASSERT_EQ(session.DataValueExists(exists, "tblPrintJobs", "UserId", Variant(int32_t{5})),
            nullptr);
  EXPECT_FALSE(exists);

  // A failed probe reports the value as existing.
  exists = false;
  EXPECT_TRUE(session.DataValueExists(exists, "tblNoSuchTable", "Name", Variant("x")));
  EXPECT_TRUE(exists);
}

TEST_P(QueryExecution, DataValueExistsWritesFractionsWithAPointInAnyLocale) {
  test::Execute(Connect(), "INSERT INTO tblUsers (PinCode, Name) VALUES (N'p1', N'Smith')");
  KXData session;
  bool exists = true;
  // Whole numbers and exponent forms are literals both engines read.
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "UserId", Variant(1.0)), nullptr);
  EXPECT_TRUE(exists);
  ASSERT_EQ(session.DataValueExists(exists, "tblUsers", "UserId", Variant(1.0e20)), nullptr);
  EXPECT_FALSE(exists);

  test::TempDir folder;
  if (!test::UseGermanLocale(folder, LC_NUMERIC))
    GTEST_SKIP() << "no German locale and none could be built";
  const bool comma = std::to_string(2.5).find(',') != std::string::npos;
  exists = true;
  KXErrorPtr error = session.DataValueExists(exists, "tblUsers", "UserId", Variant(2.5));
  KXErrorPtr single_error = session.DataValueExists(exists, "tblUsers", "UserId", Variant(0.5f));
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");
  ASSERT_TRUE(comma) << "the locale did not take effect";
  EXPECT_EQ(error, nullptr) << error->Message();
  EXPECT_EQ(single_error, nullptr) << single_error->Message();
  EXPECT_FALSE(exists);
  EXPECT_EQ(test::ErrorLog(), "");
}

TEST_P(QueryExecution, DataValueExistsRefusesNumbersWithoutALiteral) {
  KXData session;
  for (double number :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    bool exists = false;
    KXErrorPtr error = session.DataValueExists(exists, "tblUsers", "UserId", Variant(number));
    ASSERT_TRUE(error) << number;
    EXPECT_TRUE(exists);
    EXPECT_EQ(error->Message(), "The value to compare must be a text, a number, a date or a flag.");
  }
  EXPECT_EQ(test::ErrorLog(), "");  // refused before any statement ran
}

TEST_P(QueryExecution, DataValueExistsRefusesNamesThatAreNotPlain) {
  test::Execute(Connect(), "INSERT INTO tblUsers (PinCode, Name) VALUES (N'p1', N'Smith')");
  KXData session;
  const std::pair<const char*, const char*> probes[] = {
      {"tblUsers; DELETE FROM tblUsers --", "Name"},
      {"tblUsers", "Name = Name OR 1"},
      {"tblUsers WHERE 1 = 1 --", "Name"},
      {"a.b.tblUsers", "Name"},
  };
  for (const auto& [table, field] : probes) {
    bool exists = false;
    KXErrorPtr error = session.DataValueExists(exists, table, field, Variant("x"));
    ASSERT_TRUE(error) << table << " / " << field;
    EXPECT_TRUE(exists);
    EXPECT_NE(error->Message().find("is not a valid table or field name"), std::string::npos);
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblUsers"), 1);
  EXPECT_EQ(test::ErrorLog(), "");
}

KX4_INSTANTIATE_ENGINES(QueryExecution);

}  // namespace
}  // namespace kx4
