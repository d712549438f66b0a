// Record-set navigation, field types and parameter binding, on both engines.
#include <kx4data/RuntimeError.h>

#include <gtest/gtest.h>

#include <functional>

#include "dataaccess/RecordsetInternal.h"
#include "dataaccess/ResultTable.h"
#include "session/Common.h"
#include "support/TestDatabase.h"

namespace kx4::test {
namespace {

class Recordsets : public EngineTest {};

TEST_P(Recordsets, NavigatesAStaticSetAndDisconnects) {
  auto c = Connect();
  for (const char* n : {"b", "a", "c"})
    Execute(c, std::string("INSERT INTO tblApplications (Name) VALUES (N'") + n + "')");
  auto rs = Query(c, "SELECT Name FROM tblApplications ORDER BY Name");
  c->Close();  // the rows are the client's
  ASSERT_EQ(rs->RecordCount(), 3);
  EXPECT_FALSE(rs->Bof());
  EXPECT_EQ(rs->Fields("name").Value(), Variant("a"));
  rs->MoveLast();
  EXPECT_EQ(rs->Fields(0).Value(), Variant("c"));
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->Fields(0).Value(), RuntimeError);
  EXPECT_THROW(rs->MoveNext(), RuntimeError);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_THROW(rs->Fields("Nope"), RuntimeError);
  EXPECT_THROW(rs->Fields(1), RuntimeError);
  rs->Close();
  EXPECT_EQ(rs->State(), ado::adStateClosed);
  EXPECT_EQ(rs->RecordCount(), -1);
}

TEST_P(Recordsets, EmptySetIsAtBofAndEof) {
  auto c = Connect();
  auto rs = Query(c, "SELECT Name FROM tblApplications");
  EXPECT_EQ(rs->State(), ado::adStateOpen);
  EXPECT_TRUE(rs->Bof());
  EXPECT_TRUE(rs->Eof());
}

TEST_P(Recordsets, StatementWithoutRowsLeavesItClosed) {
  auto c = Connect();
  auto rs = Query(c, "INSERT INTO tblApplications (Name) VALUES (N'x')");
  EXPECT_EQ(rs->State(), ado::adStateClosed);
  EXPECT_EQ(Scalar(c, "SELECT COUNT(*) FROM tblApplications").ToLong(), 1);
}

TEST_P(Recordsets, FieldTypesAreThoseOfTheProvider) {
  auto c = Connect();
  Execute(c,
          "INSERT INTO tblPrintJobs (UserId, NetworkUser, Pages, CostPerUnit, DatePrinted, "
          "Color) VALUES (NULL, N'u', 3, ?, GETDATE(), -1)",
          {Currency::FromTicks(12345)});
  auto rs = Query(c,
                  "SELECT Color, Pages, PageWidth, CostPerUnit, DatePrinted, NetworkUser, "
                  "COUNT(*) AS N, UserId, AccountedOn, SUM(CostPerUnit) AS Total "
                  "FROM tblPrintJobs GROUP BY Color, Pages, PageWidth, CostPerUnit, DatePrinted, "
                  "NetworkUser, UserId, AccountedOn");
  ASSERT_EQ(rs->RecordCount(), 1);
  const std::pair<const char*, int32_t> expected[] = {{"Color", ado::adBoolean},
                                                      {"Pages", ado::adSmallInt},
                                                      {"PageWidth", ado::adInteger},
                                                      {"CostPerUnit", ado::adCurrency},
                                                      {"DatePrinted", ado::adDBTimeStamp},
                                                      {"NetworkUser", ado::adVarWChar},
                                                      {"N", ado::adInteger},
                                                      {"UserId", ado::adInteger},
                                                      {"AccountedOn", ado::adDBTimeStamp},
                                                      {"Total", ado::adCurrency}};
  for (const auto& [name, type] : expected)
    EXPECT_EQ(rs->Fields(name).Type(), type) << name;
  EXPECT_EQ(rs->Fields("Color").Value(), Variant(true));
  EXPECT_EQ(rs->Fields("Pages").Value(), Variant(int16_t{3}));
  EXPECT_EQ(rs->Fields("N").Value(), Variant(int32_t{1}));
  EXPECT_EQ(rs->Fields("Total").Value(), Variant(Currency::FromTicks(12345)));
  EXPECT_TRUE(rs->Fields("UserId").IsNull());
  // FieldValue's defaults follow these types.
  EXPECT_EQ(FieldValue(rs->Fields("UserId")), Variant(int16_t{0}));
  EXPECT_TRUE(FieldValue(rs->Fields("AccountedOn")).IsNull());
  EXPECT_EQ(FieldValue(rs->Fields("AccountedOn"), Variant(int16_t{8})), Variant(""));
}

TEST_P(Recordsets, BindsEveryParameterType) {
  auto c = Connect();
  const DateTime when = DateTime::FromCivil(2026, 3, 5, 10, 0, 0);
  Execute(c,
          "INSERT INTO tblPrintJobs (Pages, PageWidth, CostPerUnit, DatePrinted, Document, "
          "PaperType, UnitMeasureId, PrintedToFile, UserDefined1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, "
          "?)",
          {int16_t{7}, int32_t{2159}, Currency::Parse("1.2345"), when, std::string("Doc ?"),
           std::string(""), uint8_t{2}, true, Variant()});
  auto rs = Query(c,
                  "SELECT Pages, PageWidth, CostPerUnit, DatePrinted, Document, PaperType, "
                  "UnitMeasureId, PrintedToFile, UserDefined1 FROM tblPrintJobs WHERE "
                  "DatePrinted >= ? AND DatePrinted < ? AND Pages = ? AND PageWidth > ?",
                  {when, when.AddDays(1), 7.0, 2000.5f});
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("Pages").Value(), Variant(int16_t{7}));
  EXPECT_EQ(rs->Fields("PageWidth").Value(), Variant(int32_t{2159}));
  EXPECT_EQ(rs->Fields("CostPerUnit").Value(), Variant(Currency::Parse("1.2345")));
  EXPECT_EQ(rs->Fields("DatePrinted").Value(), Variant(when));
  EXPECT_EQ(rs->Fields("Document").Value(), Variant("Doc ?"));
  EXPECT_TRUE(rs->Fields("PaperType").IsNull());  // the empty text is sent as null
  EXPECT_EQ(rs->Fields("UnitMeasureId").Value().ToLong(), 2);
  EXPECT_EQ(rs->Fields("PrintedToFile").Value(), Variant(true));
  EXPECT_TRUE(rs->Fields("UserDefined1").IsNull());
}

TEST_P(Recordsets, TooFewParametersIsAnError) {
  auto c = Connect();
  EXPECT_THROW(Execute(c, "UPDATE tblSettings SET MaxBatch = ?"), RuntimeError);
  EXPECT_FALSE(c->Errors().empty());
}

// A field does not outlive the rows it was taken from.
TEST_P(Recordsets, AFieldOfAClosedRecordSetFailsAsACall) {
  auto c = Connect();
  Execute(c, "INSERT INTO tblApplications (Name) VALUES (N'a')");
  auto rs = Query(c, "SELECT Name, Description FROM tblApplications");
  const ado::Field description = rs->Fields(1);
  rs->Close();
  auto number = [](const std::function<void()>& use) {
    try {
      use();
    } catch (const RuntimeError& e) {
      return e.Number();
    }
    return 0;
  };
  EXPECT_EQ(number([&] { description.Name(); }), ado::kErrObjectClosed);
  EXPECT_EQ(number([&] { description.Type(); }), ado::kErrObjectClosed);
  EXPECT_EQ(number([&] { description.Value(); }), ado::kErrObjectClosed);
  EXPECT_EQ(number([&] { description.IsNull(); }), ado::kErrObjectClosed);
  // Opened again with fewer columns, it names none of them.
  ado::Command command;
  command.SetCommandText("SELECT Name FROM tblApplications");
  command.SetActiveConnection(c);
  ado::RecordsetInternal::Open(*rs, command);
  EXPECT_EQ(number([&] { description.Name(); }), ado::kErrItemNotFound);
  EXPECT_EQ(number([&] { description.Value(); }), ado::kErrItemNotFound);
}

KX4_INSTANTIATE_ENGINES(Recordsets);

TEST(ResultTable, WidensValuesOutsideTheDeclaredType) {
  ado::ResultTable t;
  t.AddColumn("S", ado::adSmallInt);
  t.AddColumn("Open", ado::adEmpty);
  t.AppendInteger(5);
  t.AppendNull();
  t.AppendInteger(100000);
  t.AppendInteger(int64_t{1} << 40);
  t.AppendNull();
  t.AppendDouble(0.5);
  t.Finish();
  EXPECT_EQ(t.ColumnType(0), ado::adInteger);
  EXPECT_EQ(t.Value(0, 0), Variant(int32_t{5}));
  EXPECT_EQ(t.Value(1, 0), Variant(int32_t{100000}));
  EXPECT_TRUE(t.IsNull(2, 0));
  EXPECT_EQ(t.ColumnType(1), ado::adDouble);
  EXPECT_TRUE(t.IsNull(0, 1));
  EXPECT_EQ(t.Value(1, 1), Variant(static_cast<double>(int64_t{1} << 40)));
  EXPECT_EQ(t.Value(2, 1), Variant(0.5));
}

}  // namespace
}  // namespace kx4::test
