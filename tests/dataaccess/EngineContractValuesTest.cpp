// Parameters and values, alike on every engine: the batch order of markers,
// typed values, untyped nulls, text holding NUL, numbers too large for their
// column.
#include <kx4data/Currency.h>
#include <kx4data/DateTime.h>

#include "dataaccess/EngineContract.h"

namespace kx4::test {
namespace {

TEST_P(EngineContract, ParametersFollowTheBatchOrder) {
  Execute(c_, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  // The second statement's marker is the batch's second parameter.
  auto rs = Query(c_,
                  "UPDATE tblApplications SET Name = ? WHERE ApplicationId = 1 SELECT "
                  "ApplicationId FROM tblApplications WHERE Name = ?",
                  {Variant("b"), Variant("B")});
  EXPECT_EQ(rs->Fields("ApplicationId").Value().ToLong(), 1);
  // Values beyond the markers are no error (the job list passes one).
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications", {Variant("unused")}), 1);
  Failure missing =
      Fails(c_, "UPDATE tblApplications SET TrackOptionId = ? + ?", {Variant(int32_t{1})});
  EXPECT_EQ(missing.error.NativeError, 8178);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications WHERE TrackOptionId = 1"), 1);
}

// One row of every kind a filter meets: text with and without case, whole
// numbers, money and a date.
class TypedColumns : public EngineContract {
 protected:
  void SetUp() override {
    EngineContract::SetUp();
    if (IsSkipped())
      return;
    Execute(c_,
            "INSERT INTO tblUsers (PinCode, Name, QuotaRemaining, ReportSecurity) VALUES "
            "(N'AbC=', N'Ann', ?, 2)",
            {Variant(Currency::Parse("1.5"))});
    Execute(c_,
            "INSERT INTO tblPrintJobs (UserId, NetworkUser, Pages, Copies, CostPerUnit, "
            "UnitMeasureId, DatePrinted) VALUES (1, N'ann', 1, 1, 0, 1, ?)",
            {Variant(kPrinted)});
  }
  const DateTime kPrinted = DateTime::FromCivil(2024, 3, 5, 10, 15, 0);
};

TEST_P(TypedColumns, ValuesMatchTheirColumns) {
  struct Case {
    const char* filter;
    Variant value;
    int32_t rows;
  };
  for (const Case& c : {
           Case{"Name = ?", Variant("ANN"), 1},      // as the column compares: without case
           Case{"PinCode = ?", Variant("abc="), 0},  // cipher text compares exactly
           Case{"PinCode = ?", Variant("AbC="), 1}, Case{"UserId = ?", Variant(int32_t{1}), 1},
           Case{"ReportSecurity = ?", Variant(int16_t{2}), 1},
           Case{"QuotaRemaining = ?", Variant(Currency::Parse("1.5")), 1},
           Case{"ReportSecurity = ?", Variant(true), 0},  // adNumeric: true is -1
       }) {
    EXPECT_EQ(Count(std::string("SELECT COUNT(*) FROM tblUsers WHERE ") + c.filter, {c.value}),
              c.rows)
        << c.filter << " " << c.value.ToString();
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs WHERE DatePrinted = ?", {Variant(kPrinted)}),
            1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs WHERE NetworkUser = ?", {Variant("ANN")}), 1);
}

TEST_P(TypedColumns, NullsTakeTheTypeOfTheirPlace) {
  struct Column {
    const char* table;
    const char* name;
    Variant value;  // the value the row holds
  };
  const Variant null = Variant::Null();
  for (const Column& c : {
           Column{"tblUsers", "Name", Variant("Ann")},
           Column{"tblUsers", "PinCode", Variant("AbC=")},
           Column{"tblUsers", "UserId", Variant(int32_t{1})},
           Column{"tblUsers", "ReportSecurity", Variant(int16_t{2})},
           Column{"tblUsers", "QuotaRemaining", Variant(Currency::Parse("1.5"))},
           Column{"tblPrintJobs", "DatePrinted", Variant(kPrinted)},
       }) {
    const std::string from = std::string("SELECT COUNT(*) FROM ") + c.table + " WHERE ";
    const std::string column = c.name;
    // Null, Empty and the empty text (sent as a text null) alike.
    for (const Variant& nothing : {null, Variant(), Variant("")}) {
      SCOPED_TRACE(column + " with type " + std::to_string(static_cast<int>(nothing.VarType())));
      EXPECT_EQ(Count(from + column + " = ?", {nothing}), 0);
      EXPECT_EQ(Count(from + "? IS NULL", {nothing}), 1);
      EXPECT_EQ(Count(from + "(? IS NULL OR " + column + " = ?)", {nothing, nothing}), 1);
    }
    SCOPED_TRACE(column);
    EXPECT_EQ(Count(from + "? IS NULL", {c.value}), 0);
    EXPECT_EQ(Count(from + "(? IS NULL OR " + column + " = ?)", {c.value, c.value}), 1);
    EXPECT_EQ(Count(from + "? IS NOT NULL AND " + column + " = ?", {c.value, c.value}), 1);
  }
  // Written, a null is the column's null.
  Execute(c_, "UPDATE tblPrintJobs SET UserId = ?, MachineName = ?, AccountedOn = ?",
          {null, Variant(""), Variant()});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPrintJobs WHERE UserId IS NULL AND MachineName IS "
                  "NULL AND AccountedOn IS NULL"),
            1);
}

TEST_P(EngineContract, TextHoldingNulIsRefusedBeforeAnythingRuns) {
  const std::string nul("nul\0inside", 10);
  Failure value = Fails(c_,
                        "INSERT INTO tblApplications (Name) VALUES (N'first') "
                        "INSERT INTO tblApplications (Name) VALUES (?)",
                        {Variant(nul)});
  EXPECT_EQ(value.hresult, ado::kErrCommandFailed);
  EXPECT_EQ(value.error.SQLState, "22021");
  EXPECT_NE(value.error.Description.find("NUL"), std::string::npos);
  EXPECT_NE(value.error.Description.find("Par0"), std::string::npos);
  // In a literal of the statement itself as well, inside a transaction too.
  c_->BeginTrans();
  EXPECT_EQ(Fails(c_, "INSERT INTO tblApplications (Name) VALUES (N'" + nul + "')").error.SQLState,
            "22021");
  c_->CommitTrans();
  EXPECT_EQ(Applications(), 0);
}

TEST_P(EngineContract, NumbersTooLargeForTheirColumnAreRefused) {
  Execute(c_, "INSERT INTO tblApplications (Name, TrackOptionId) VALUES (N'a', 1)");
  Execute(c_, "INSERT INTO tblPaperTypes (Description, ListPosition) VALUES (N'A4', 1)");
  Execute(c_, "INSERT INTO tblUsers (PinCode, Active) VALUES (N'p', 0)");
  for (const std::string& sql : {
           std::string("UPDATE tblApplications SET TrackOptionId = 70000"),
           std::string("INSERT INTO tblApplications (Name, TrackOptionId) VALUES (N'b', -32769)"),
           std::string("INSERT INTO tblApplications (Name, TrackOptionId) SELECT Name, "
                       "TrackOptionId + 32767 FROM tblApplications"),
           std::string("UPDATE tblPaperTypes SET ListPosition = 2147483648"),
           std::string("INSERT INTO tblPaperTypes (Description, ListPosition) VALUES (N'x', "
                       "-2147483649)"),
           std::string("UPDATE tblPaperTypes SET Active = 32768"),
       }) {
    Failure f = Fails(c_, sql);
    EXPECT_EQ(f.hresult, ado::kErrCommandFailed) << sql;
    EXPECT_EQ(f.error.NativeError, 8115) << sql;
  }
  for (const Variant& value : {Variant(int32_t{70000}), Variant(1e5)}) {
    EXPECT_EQ(Fails(c_, "UPDATE tblApplications SET TrackOptionId = ?", {value}).error.NativeError,
              8115);
    EXPECT_EQ(Fails(c_, "UPDATE tblUsers SET Active = ?", {value}).error.NativeError, 8115);
  }
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications WHERE TrackOptionId = 1"), 1);
  EXPECT_EQ(Applications(), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPaperTypes WHERE ListPosition = 1 AND Active = 1"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblUsers WHERE Active = 0"), 1);
  // The edges themselves fit; a flag keeps any other number as 1.
  Execute(c_, "UPDATE tblApplications SET TrackOptionId = -32768");
  Execute(c_, "UPDATE tblPaperTypes SET ListPosition = 2147483647, Active = -32768");
  Execute(c_, "UPDATE tblUsers SET Active = ?", {Variant(int32_t{7})});
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblApplications WHERE TrackOptionId = -32768"), 1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblPaperTypes WHERE ListPosition = 2147483647 AND "
                  "Active = 1"),
            1);
  EXPECT_EQ(Count("SELECT COUNT(*) FROM tblUsers WHERE Active = 1"), 1);
}

}  // namespace

KX4_INSTANTIATE_ENGINES(TypedColumns);

}  // namespace kx4::test
