#include <kx4data/DataGlobal.h>

#include <gtest/gtest.h>

#include <kx4data/KXData.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/User.h>
#include <kx4data/ado/Recordset.h>

#include <algorithm>
#include <string>
#include <vector>

#include "global/JobRows.h"
#include "session/KXDataInternal.h"
#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

using Docs = std::vector<std::string>;

DateTime March(int day, int hour, int minute) {
  return DateTime::FromCivil(2026, 3, day, hour, minute);
}

// Eight Null elements, one of them set.
Variant Filter(int32_t index, Variant value) {
  std::vector<Variant> elements(8, Variant::Null());
  elements[static_cast<size_t>(index)] = std::move(value);
  return Variant(VariantArray(std::move(elements)));
}

// Ann and Bob may see their own jobs, Carl everybody's, Dora none.  Jobs:
// documents starting with "a" are Ann's, "b" Bob's, "n1" nobody's; "u1" is
// Ann's with a unit that does not exist.
class JobListTest : public AdministeredSessionTest {
 protected:
  void SetUp() override {
    AdministeredSessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    ann_ = AddUser("Ann Lee", "1111", kxrOwnData);
    bob_ = AddUser("Bob Ray", "2222", kxrOwnData);
    AddUser("Carl Poe", "3333", kxrAllData);
    AddUser("Dora Fox", "4444", kxrNone);
    Exec("INSERT INTO tblValidatedValues (Code, Description) VALUES ('ACME', 'Acme Ltd')");
    Exec("INSERT INTO tblValidatedValues (Code, Description) VALUES ('BETA', 'Beta plc')");
    acme_ = Value("SELECT ValidatedId FROM tblValidatedValues WHERE Code = 'ACME'").ToLong();
    beta_ = Value("SELECT ValidatedId FROM tblValidatedValues WHERE Code = 'BETA'").ToLong();

    Add({.document = "a1",
         .printed = March(5, 9, 59),
         .user_id = ann_,
         .validated_id = acme_,
         .network_user = "Ann.Lee",
         .printer = "HP LaserJet",
         .user_one = "Proj_1",
         .user_two = "x"});
    Add({.document = "a2",
         .printed = March(5, 10, 0),
         .user_id = ann_,
         .network_user = "ann.lee",
         .printer = "Canon",
         .port = "hp01:",
         .paper_type = ""});
    Add({.document = "a3",
         .printed = March(5, 23, 59),
         .user_id = ann_,
         .validated_id = beta_,
         .printer = "Lab_1",
         .port = "USB001"});
    Add({.document = "b1",
         .printed = March(6, 0, 0),
         .user_id = bob_,
         .validated_id = acme_,
         .network_user = "bob",
         .printer = "LabX1",
         .port = "USB002",
         .user_one = "ProjX1"});
    Add({.document = "b2",
         .printed = March(4, 12, 0),
         .user_id = bob_,
         .validated_id = beta_,
         .network_user = "bob",
         .printer = "[Main]",
         .port = "LPT2:",
         .user_two = "Dept 5"});
    Add({.document = "n1",
         .printed = March(3, 8, 0),
         .network_user = "Svc_Print",
         .machine = "",
         .printer = "hp Color",
         .port = "FILE:",
         .process = "Spool.exe",
         .paper_type = ""});
    Add({.document = "u1", .printed = March(5, 11, 0), .user_id = ann_, .unit_id = 99});
  }

  int32_t AddUser(const std::string& name, const std::string& pin, KXReportSecurity report) {
    User user;
    user.SetName(name);
    user.SetPinCode(pin);
    user.SetReportSecurity(report);
    KXErrorPtr e = user.Save(session());
    EXPECT_EQ(e, nullptr) << e->Message();
    return user.Id();
  }
  void Add(const JobRow& job) { InsertJob(raw(), job); }

  // Authorised with `pin` while the viewer is secured: only the PIN user's
  // report right decides.
  void ReportAs(const std::string& pin) {
    SetSwitches(false, true);
    KXErrorPtr e = session().GetAuthorization(pin);
    ASSERT_EQ(e, nullptr) << e->Message();
  }

  // The documents listed, in list order.
  Docs List(const Variant& filters = Variant()) {
    std::shared_ptr<ado::Recordset> rs;
    KXErrorPtr e = global_.GetJobList(session(), rs, filters);
    EXPECT_EQ(e, nullptr) << e->Message();
    Docs docs;
    if (!rs)
      return docs;
    for (; !rs->Eof(); rs->MoveNext())
      docs.push_back(rs->Fields("Document").Value().ToString());
    return docs;
  }

  DataGlobal global_;
  int32_t ann_ = 0;
  int32_t bob_ = 0;
  int32_t acme_ = 0;
  int32_t beta_ = 0;
};

struct FilterCase {
  int32_t index;
  Variant value;
  Docs all_data;  // what a reporter of every job sees
};

std::vector<FilterCase> FilterMatrix(int32_t acme) {
  return {
      {0, Variant(acme), {"a1", "b1"}},
      {1, Variant("hp"), {"n1", "a1", "a2"}},  // name or port, any case
      {1, Variant("%jet"), {"a1"}},            // "%" is a wildcard
      {1, Variant("lab_"), {"a3"}},            // "_" is not
      {1, Variant("[m"), {"b2"}},              // nor "["
      {1, Variant(""), {}},                    // the empty text matches nothing
      {2, Variant("ANN."), {"a1", "a2"}},
      {2, Variant("svc_"), {"n1"}},
      {3, Variant(March(5, 10, 0)), {"a2", "a3", "b1"}},
      {4, Variant(March(5, 15, 37)), {"n1", "b2", "a1", "a2", "a3"}},
      {5, Variant("an"), {"a1", "a2", "a3"}},
      {5, Variant("%"), {"b2", "a1", "a2", "a3", "b1"}},  // jobs without a user drop out
      {6, Variant("proj_"), {"a1"}},
      {7, Variant("dept"), {"b2"}},
  };
}

std::string Describe(const FilterCase& c) {
  return "element " + std::to_string(c.index) + " = " + c.value.ToString();
}

TEST_P(JobListTest, EveryJobWithAKnownUnitInPrintOrderWithItsJoinedTexts) {
  const Docs all{"n1", "b2", "a1", "a2", "a3", "b1"};
  EXPECT_EQ(List(), all);
  EXPECT_EQ(List(Variant::Null()), all);
  EXPECT_EQ(List(Variant(3)), all) << "a value that is no array filters nothing";
  EXPECT_EQ(List(Variant(VariantArray(std::vector<Variant>(8, Variant::Null())))), all);

  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(global_.GetJobList(session(), rs), nullptr);
  const std::vector<std::string> columns{
      "ValueCode",   "ValueDescription", "UserName",      "NetworkUser", "ComputerName",
      "ProcessName", "PrinterName",      "PrinterPort",   "PaperType",   "Document",
      "Pages",       "Copies",           "PageWidth",     "PageHeight",  "PaperSize",
      "Color",       "CostPerUnit",      "UnitMeasureId", "UnitDesc",    "DatePrinted",
      "UserOne",     "UserTwo"};
  ASSERT_EQ(rs->FieldCount(), static_cast<int32_t>(columns.size()));
  for (size_t i = 0; i < columns.size(); ++i)
    EXPECT_EQ(rs->Fields(static_cast<int32_t>(i)).Name(), columns[i]);

  auto text = [&](const char* column) { return rs->Fields(column).Value().ToString(); };
  // n1: no user, value, computer, paper type or user fields.
  EXPECT_EQ(text("Document"), "n1");
  for (const char* unknown : {"ValueCode", "ValueDescription", "UserName", "ComputerName"})
    EXPECT_EQ(text(unknown), "Unknown") << unknown;
  for (const char* none : {"PaperType", "UserOne", "UserTwo"})
    EXPECT_EQ(text(none), "<NONE>") << none;
  EXPECT_EQ(text("NetworkUser"), "svc_print");
  EXPECT_EQ(text("ProcessName"), "SPOOL.EXE");
  EXPECT_EQ(text("PrinterName"), "HP COLOR");
  EXPECT_EQ(text("PrinterPort"), "FILE:");
  EXPECT_EQ(text("UnitDesc"), "Pages");
  EXPECT_EQ(rs->Fields("CostPerUnit").Value().ToCurrency(), Currency::FromTicks(1250));
  EXPECT_EQ(rs->Fields("DatePrinted").Value().ToDate(), March(3, 8, 0));
  rs->MoveNext();
  rs->MoveNext();
  // a1: everything known.
  EXPECT_EQ(text("Document"), "a1");
  EXPECT_EQ(text("ValueCode") + "|" + text("ValueDescription") + "|" + text("UserName") + "|" +
                text("NetworkUser") + "|" + text("PrinterName") + "|" + text("PaperType") + "|" +
                text("UserOne"),
            "ACME|Acme Ltd|Ann Lee|ann.lee|HP LASERJET|A4|Proj_1");
}

TEST_P(JobListTest, EachFilterAloneAndTheDayBoundaries) {
  for (const FilterCase& c : FilterMatrix(acme_))
    EXPECT_EQ(List(Filter(c.index, c.value)), c.all_data) << Describe(c);
  // The id as text, and a date as text, convert as well.
  EXPECT_EQ(List(Filter(0, Variant(std::to_string(beta_)))), (Docs{"b2", "a3"}));
  EXPECT_EQ(List(Filter(3, Variant("2026-03-05 09:59"))), (Docs{"a1", "a2", "a3", "b1"}));

  // From 5 March 10:00 to the whole of 5 March.
  VariantArray both(std::vector<Variant>(8, Variant::Null()));
  both[3] = Variant(March(5, 10, 0));
  both[4] = Variant(March(5, 0, 0));
  EXPECT_EQ(List(Variant(both)), (Docs{"a2", "a3"}));
  both[1] = Variant("LAB");
  EXPECT_EQ(List(Variant(both)), (Docs{"a3"}));
}

TEST_P(JobListTest, ArraysThatLackAnIndexFailAsCallsAndRunNothing) {
  const auto sentinel = std::make_shared<ado::Recordset>();
  std::shared_ptr<ado::Recordset> rs = sentinel;
  const Variant short_array(VariantArray(std::vector<Variant>(7, Variant::Null())));
  EXPECT_THROW((void)global_.GetJobList(session(), rs, short_array), RuntimeError);
  // Indexes 1 to 8: element 0, which every filtered list reads, is missing.
  const Variant from_one(VariantArray(std::vector<Variant>(8, Variant::Null()), 1));
  EXPECT_THROW((void)global_.GetJobList(session(), rs, from_one), RuntimeError);
  EXPECT_EQ(rs, sentinel);
}

// Element 0 goes into the statement unquoted: only a whole 32-bit number may.
TEST_P(JobListTest, TheValueIdMustBeAWholeNumber) {
  ReportAs("1111");
  for (const char* attempt : {"0 OR 1=1", "1) OR (1=1", "1.5", "2147483648", " 1", ""}) {
    const auto sentinel = std::make_shared<ado::Recordset>();
    std::shared_ptr<ado::Recordset> rs = sentinel;
    EXPECT_THROW((void)global_.GetJobList(session(), rs, Filter(0, Variant(attempt))), RuntimeError)
        << attempt;
    EXPECT_EQ(rs, sentinel) << attempt;
  }
  EXPECT_EQ(List(Filter(0, Variant(acme_))), (Docs{"a1"}));
  EXPECT_EQ(List(Filter(0, Variant(-1))), (Docs{}));
}

TEST_P(JobListTest, AnOwnDataReporterSeesOnlyHisJobsWhateverTheFilters) {
  ReportAs("1111");
  EXPECT_EQ(List(), (Docs{"a1", "a2", "a3"}));
  for (const FilterCase& c : FilterMatrix(acme_)) {
    Docs expected;
    if (c.index == 5) {
      expected = {"a1", "a2", "a3"};  // the user-name filter needs the all-data right
    } else {
      std::copy_if(c.all_data.begin(), c.all_data.end(), std::back_inserter(expected),
                   [](const std::string& doc) { return doc[0] == 'a'; });
    }
    EXPECT_EQ(List(Filter(c.index, c.value)), expected) << Describe(c);
  }
  EXPECT_EQ(List(Filter(5, Variant("bob"))), (Docs{"a1", "a2", "a3"}));

  ReportAs("2222");
  EXPECT_EQ(List(), (Docs{"b2", "b1"}));
  ReportAs("3333");
  EXPECT_EQ(List(Filter(5, Variant("bob"))), (Docs{"b2", "b1"}));
}

TEST_P(JobListTest, WithoutAReportRightTheListIsRefusedAndLeftAsPassed) {
  ReportAs("4444");
  const auto sentinel = std::make_shared<ado::Recordset>();
  std::shared_ptr<ado::Recordset> rs = sentinel;
  KXErrorPtr e = global_.GetJobList(session(), rs);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "You do not have the proper access to execute this method.");
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);
  EXPECT_EQ(rs, sentinel);
}

// The own-data right without an authorised user has nobody's jobs to show.
TEST_P(JobListTest, TheOwnDataRightWithoutAuthorisedUserListsNothing) {
  KXData fresh;
  ASSERT_EQ(fresh.EstablishConnection(Variant(true)), nullptr);
  KXDataInternal::AddSecurity(fresh, kxsReporterOwn);
  std::shared_ptr<ado::Recordset> rs;
  ASSERT_EQ(global_.GetJobList(fresh, rs), nullptr);
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(rs->FieldCount(), 22);
  EXPECT_EQ(rs->Fields(21).Name(), "UserTwo");
}

KX4_INSTANTIATE_ENGINES(JobListTest);

}  // namespace
}  // namespace kx4::test
