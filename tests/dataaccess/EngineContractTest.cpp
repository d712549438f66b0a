// Transactions, batches, time-outs, @@IDENTITY, read mode and error numbers,
// alike on every engine.
#include <chrono>

#include "dataaccess/EngineContract.h"

namespace kx4::test {
namespace {

using ado::kErrTransaction;

constexpr const char* kInsertA = "INSERT INTO tblApplications (Name) VALUES (N'a')";
constexpr const char* kInsertB = "INSERT INTO tblApplications (Name) VALUES (N'b')";

TEST_P(EngineContract, CommitKeepsRollbackUndoesClosingRollsBack) {
  c_->BeginTrans();
  Execute(c_, kInsertA);
  Execute(c_, kInsertB);
  c_->RollbackTrans();
  EXPECT_EQ(Applications(), 0);
  c_->BeginTrans();
  Execute(c_, kInsertA);
  c_->CommitTrans();
  EXPECT_EQ(Applications(), 1);
  c_->BeginTrans();
  Execute(c_, "DELETE FROM tblApplications");
  c_->Close();
  EXPECT_EQ(Scalar(Connect(), "SELECT COUNT(*) FROM tblApplications").ToLong(), 1);
}

TEST_P(EngineContract, TransactionsDoNotNestAndNeedOneToEnd) {
  Failure commit = FailureOf(*c_, [&] { c_->CommitTrans(); });
  EXPECT_EQ(commit.hresult, kErrTransaction);
  EXPECT_EQ(commit.error.NativeError, 3902);
  EXPECT_EQ(FailureOf(*c_, [&] { c_->RollbackTrans(); }).error.NativeError, 3903);

  c_->BeginTrans();
  Execute(c_, kInsertA);
  EXPECT_EQ(FailureOf(*c_, [&] { c_->BeginTrans(); }).hresult, kErrTransaction);
  // The open transaction is untouched: one rollback undoes all of it.
  Execute(c_, kInsertB);
  c_->RollbackTrans();
  EXPECT_EQ(Applications(), 0);
  EXPECT_EQ(FailureOf(*c_, [&] { c_->RollbackTrans(); }).error.NativeError, 3903);
}

TEST_P(EngineContract, AFailedBatchInATransactionUndoesOnlyItself) {
  Execute(c_, "INSERT INTO tblPaperTypes (Description) VALUES (N'A4')");
  c_->BeginTrans();
  Execute(c_, kInsertA);
  EXPECT_EQ(Fails(c_, "INSERT INTO tblPaperTypes (Description) VALUES (N'a4')").error.NativeError,
            2601);
  // A batch of several statements goes as a whole.
  Fails(c_, std::string(kInsertB) + " INSERT INTO tblApplications (Missing) VALUES (1)");
  EXPECT_EQ(Fails(c_, "SELECT Missing FROM tblApplications").error.NativeError, 207);
  Execute(c_, "INSERT INTO tblApplications (Name) VALUES (N'c')");
  c_->CommitTrans();
  auto rs = Query(c_, "SELECT Name FROM tblApplications ORDER BY Name");
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Fields(0).Value(), Variant("a"));
}

TEST_P(EngineContract, AFailedBatchOutsideATransactionChangesNothing) {
  Fails(c_, std::string(kInsertA) + " " + kInsertB + " INSERT INTO tblNothing VALUES (1)");
  Fails(c_, std::string(kInsertA) + " SELECT Missing FROM tblApplications");
  EXPECT_EQ(Applications(), 0);
}

// Two statements that the batch splitter cannot tell apart reach the engine
// as one piece: an engine must refuse the piece, never run its first
// statement and drop the rest.
TEST_P(EngineContract, APieceHoldingTwoStatementsIsRefusedWhole) {
  Failure f = Fails(c_, "CREATE TABLE tblFirst (a int) CREATE TABLE tblSecond (b int)");
  EXPECT_EQ(f.error.NativeError, 102);
  Fails(c_, "SELECT * FROM tblFirst");
  Fails(c_, "SELECT * FROM tblSecond");
  f = Fails(c_, "UPDATE tblApplications SET Name = N'x' DROP TABLE tblSettings");
  EXPECT_EQ(f.error.NativeError, 102);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblSettings"), 1);
}

TEST_P(EngineContract, ATimeOutFailsTheStatementAndLosesATransaction) {
  Failure slow = Fails(c_, Slow(false), {}, 1);
  EXPECT_EQ(slow.hresult, ado::kErrTimeout);
  EXPECT_EQ(slow.error.NativeError, -2);
  EXPECT_EQ(Applications(), 0);  // outside a transaction the connection goes on

  // A reading statement ended by a rollback, a writing one by a commit.
  for (const bool writes : {false, true}) {
    SCOPED_TRACE(writes ? "writing" : "reading");
    c_->BeginTrans();
    Execute(c_, kInsertA);
    EXPECT_EQ(Fails(c_, Slow(writes), {}, 1).hresult, ado::kErrTimeout);
    // Lost: nothing runs, a commit keeps nothing, either call ends it.
    EXPECT_EQ(Fails(c_, kInsertB).error.NativeError, 3930);
    if (writes)
      EXPECT_EQ(FailureOf(*c_, [&] { c_->CommitTrans(); }).error.NativeError, 3930);
    else
      c_->RollbackTrans();
    EXPECT_EQ(FailureOf(*c_, [&] { c_->CommitTrans(); }).error.NativeError, 3902);
    EXPECT_EQ(Applications(), 0);
  }
  // A fresh transaction works as ever.
  c_->BeginTrans();
  Execute(c_, kInsertA);
  c_->CommitTrans();
  EXPECT_EQ(Applications(), 1);
}

TEST_P(EngineContract, AWriterWaitsForAnotherWithinItsTimeOut) {
  auto holder = Connect();
  holder->BeginTrans();
  Execute(holder, "UPDATE tblSettings SET MaxBatch = 1");
  const auto start = std::chrono::steady_clock::now();
  Failure waited = Fails(c_, "UPDATE tblSettings SET MaxBatch = 2", {}, 1);
  EXPECT_EQ(waited.hresult, ado::kErrTimeout);
  EXPECT_EQ(waited.error.NativeError, -2);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(Count("SELECT MaxBatch FROM tblSettings"), 0);  // readers are not held up
  holder->CommitTrans();
  Execute(c_, "UPDATE tblSettings SET MaxBatch = 2");
  EXPECT_EQ(Count("SELECT MaxBatch FROM tblSettings"), 2);
}

TEST_P(EngineContract, IdentityIsTheLatestIdentityKeyOfTheConnection) {
  EXPECT_TRUE(Scalar(c_, "SELECT @@IDENTITY AS NewId").IsNull());
  auto first = Query(c_,
                     "SET NOCOUNT ON INSERT INTO tblApplications (Name, Description, "
                     "TrackOptionId) VALUES (N'Word', NULL, 2) SELECT @@IDENTITY AS NewId "
                     "SET NOCOUNT OFF");
  ASSERT_EQ(first->State(), ado::adStateOpen);
  EXPECT_EQ(first->Fields(0).Name(), "NewId");
  EXPECT_EQ(first->Fields("NewId").Value().ToLong(), 1);
  auto second = Query(c_,
                      "SET NOCOUNT ON INSERT INTO tblPrinters (Name, Port, ConfigurationId) "
                      "VALUES (N'HP', N'LPT1', 1)SELECT @@IDENTITY As NewId SET NOCOUNT OFF");
  EXPECT_EQ(second->Fields("NewId").Value().ToLong(), 1);
  Execute(c_, "INSERT INTO tblPrinters (Name, Port, ConfigurationId) VALUES (N'HP2', N'LPT2', 1)");
  // Later batches see it; a table without an identity key leaves it.
  Execute(c_,
          "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId) VALUES (7, 7)");
  Execute(c_,
          "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId) VALUES (8, 8)");
  Execute(c_,
          "INSERT INTO tblConfigurationPaperTypes (ConfigurationId, PaperTypeId) VALUES (9, 9)");
  EXPECT_EQ(Scalar(c_, "SELECT @@IDENTITY").ToLong(), 2);
  // Each connection has its own.
  EXPECT_TRUE(Scalar(Connect(), "SELECT @@IDENTITY").IsNull());
}

TEST_P(EngineContract, ReadModeRefusesWrites) {
  auto reader = Connect(ado::adModeRead);
  EXPECT_EQ(Scalar(reader, "SELECT COUNT(*) FROM tblSettings").ToLong(), 1);
  EXPECT_EQ(Fails(reader, "UPDATE tblSettings SET MaxBatch = 1").error.NativeError, 3906);
  EXPECT_EQ(Fails(reader, kInsertA).error.NativeError, 3906);
  reader->BeginTrans();
  EXPECT_EQ(Fails(reader, "DELETE FROM tblSettings").error.NativeError, 3906);
  EXPECT_EQ(Scalar(reader, "SELECT COUNT(*) FROM tblSettings").ToLong(), 1);
  reader->RollbackTrans();
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblSettings WHERE MaxBatch = 0"), 1);
}

TEST_P(EngineContract, ErrorsCarrySqlServerNumbers) {
  struct Case {
    const char* sql;
    int32_t hresult;
    int32_t native;
  };
  Execute(c_, "INSERT INTO tblUsers (PinCode, Name) VALUES (N'a', N'x')");
  for (const Case& c : {
           Case{"INSERT INTO tblUsers (PinCode) VALUES (N'a')", ado::kErrIntegrityViolation, 2601},
           Case{"SELEC * FROM tblUsers", ado::kErrCommandFailed, 102},
           Case{"SELECT * FROM tblNothing", ado::kErrCommandFailed, 208},
           Case{"SELECT Missing FROM tblUsers", ado::kErrCommandFailed, 207},
           Case{"INSERT INTO tblUsers (Missing) VALUES (1)", ado::kErrCommandFailed, 207},
       }) {
    Failure f = Fails(c_, c.sql);
    EXPECT_EQ(f.hresult, c.hresult) << c.sql;
    EXPECT_EQ(f.error.NativeError, c.native) << c.sql;
    EXPECT_FALSE(f.error.Description.empty()) << c.sql;
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblUsers"), 1);
  EXPECT_TRUE(c_->Errors().empty());
}

}  // namespace

KX4_INSTANTIATE_ENGINES(EngineContract);

}  // namespace kx4::test
