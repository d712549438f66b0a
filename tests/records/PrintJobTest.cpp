#include <kx4data/PrintJob.h>

#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Recordset.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <thread>

#include "records/RecordTestSupport.h"
#include "support/ChildProcess.h"

namespace kx4::test {
namespace {

Currency Money(const char* text) {
  return Currency::Parse(text);
}

class PrintJobTest : public RecordTest {
 protected:
  int32_t AddUser(bool use_quota, const char* quota) {
    static int pin = 0;
    Exec("INSERT INTO tblUsers (PinCode, Name, UseQuota, QuotaRemaining, Active) VALUES (N'pin" +
             std::to_string(++pin) + "', N'user', " + (use_quota ? "1" : "0") + ", ?, 1)",
         {Variant(Money(quota))});
    return Value("SELECT MAX(UserId) FROM tblUsers").ToLong();
  }
  Currency Quota(int32_t user) {
    return Value("SELECT QuotaRemaining FROM tblUsers WHERE UserId = " + std::to_string(user))
        .ToCurrency();
  }
  int32_t Jobs() { return Count("tblPrintJobs"); }

  static PrintJob Job(int32_t user) {
    PrintJob job;
    job.SetUserId(user);
    job.SetUnitMeasureId(kxuPages);
    job.SetPages(1);
    job.SetCopies(1);
    job.SetCostPerUnit(Money("0.05"));
    job.SetNetworkUser("jdoe");
    job.SetPrinterName("Laser");
    job.SetPort("lpt1:");
    job.SetDocument("Report");
    job.SetProcessName("winword.exe");
    job.SetConfigName("Standard");
    return job;
  }
};

TEST_P(PrintJobTest, ChargesTheJobCostExactly) {
  struct Case {
    int32_t unit;
    int16_t pages, copies;
    int32_t width, height;
    const char* cost_per_unit;
    const char* charged;
  };
  const Case cases[] = {
      {1, 3, 2, 0, 0, "0.05", "0.3"},
      {1, 181, 181, 0, 0, "0.0001", "3.2761"},
      {1, 32767, 1, 0, 0, "1.2345", "40450.8615"},  // the largest page count
      {1, -2, 3, 0, 0, "0.5", "-3"},                // credits: nothing checks the sign
      {2, 1, 1, 2159, 2794, "1", "0.6493"},         // a letter page in square feet
      {2, 3, 2, 2159, 2794, "1", "3.8958"},
      {7, 1, 1, 2159, 2794, "1", "0.6493"},  // any unit but pages counts square feet
      {2, 0, 5, 2159, 2794, "1", "0"},
      // Half a square foot: exact halves of a ten-thousandth round to even.
      {2, 1, 1, 2322575, 2, "0.0001", "0"},
      {2, 1, 1, 2322575, 2, "0.0003", "0.0002"},
      {2, 1, 1, 2322575, 2, "0.0005", "0.0002"},
      {2, 1, 1, 2322575, 2, "0.0007", "0.0004"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("unit ") + std::to_string(c.unit) + ", " + std::to_string(c.pages) +
                 " x " + std::to_string(c.copies) + " at " + c.cost_per_unit);
    const int32_t user = AddUser(true, "1000");
    PrintJob job = Job(user);
    job.SetUnitMeasureId(c.unit);
    job.SetPages(c.pages);
    job.SetCopies(c.copies);
    job.SetPageWidth(c.width);
    job.SetPageHeight(c.height);
    job.SetCostPerUnit(Money(c.cost_per_unit));
    ASSERT_EQ(job.Save(session()), nullptr);
    EXPECT_EQ(Quota(user), Money("1000") - Money(c.charged));
    // The row keeps the price of one unit, not the charge.
    EXPECT_EQ(Value("SELECT CostPerUnit FROM tblPrintJobs WHERE UserId = " + std::to_string(user))
                  .ToCurrency(),
              Money(c.cost_per_unit));
  }
  EXPECT_FALSE(session().InTransaction());
}

TEST_P(PrintJobTest, AJobThatCannotBePricedIsRefusedWhole) {
  const int32_t user = AddUser(true, "50");
  PrintJob unpriced;
  EXPECT_THROW(unpriced.UnitMeasureId(), RuntimeError);

  struct Case {
    const char* what;
    PrintJob job;
    const char* says;
  };
  std::vector<Case> cases;
  for (int32_t owner : {user, -1}) {
    PrintJob no_unit;
    no_unit.SetUserId(owner);
    no_unit.SetPages(1);
    no_unit.SetCopies(1);
    cases.push_back({"no unit", no_unit, "UnitMeasureId"});
    PrintJob too_many = Job(owner);
    too_many.SetPages(200);
    too_many.SetCopies(200);
    cases.push_back({"40000 pages", too_many, "200 pages times 200 copies is outside the range"});
    PrintJob too_few = Job(owner);
    too_few.SetPages(-200);
    too_few.SetCopies(200);
    cases.push_back({"-40000 pages", too_few, "outside the range -32768 to 32767"});
    PrintJob too_dear = Job(owner);
    too_dear.SetCostPerUnit(Currency::FromTicks(INT64_MAX / 2));
    too_dear.SetPages(100);
    cases.push_back({"money overflow", too_dear, "beyond the range of money"});
  }
  ErrorLogWatch log;
  for (Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.job.UserId() == -1 ? " without user" : " with user"));
    KXErrorPtr error = c.job.Save(session());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->IconType(), 16);
    EXPECT_NE(error->Message().find(c.says), std::string::npos) << error->Message();
    EXPECT_FALSE(session().InTransaction());
    EXPECT_EQ(Jobs(), 0);
    EXPECT_EQ(Quota(user), Money("50"));
  }
  EXPECT_TRUE(log.NewText().empty());  // nothing reached the database

  // A refused job leaves no transaction behind: the next one commits alone.
  ASSERT_EQ(Job(user).Save(session()), nullptr);
  EXPECT_EQ(Jobs(), 1);
  EXPECT_EQ(Quota(user), Money("49.95"));
}

TEST_P(PrintJobTest, StoresTheRowAsTheColumnsExpect) {
  const int32_t user = AddUser(false, "0");
  PrintJob job;
  job.SetUserId(user);
  job.SetValidatedValueId(-1);
  job.SetNetworkUser("jdoe");
  job.SetMachineName("");
  job.SetPrinterName("Laser 4");
  job.SetPort("\\\\srv\\laser-ü");
  job.SetDocument("Q3 'final'");
  job.SetProcessName("  winword.exe  ");
  job.SetPaperType("   ");
  job.SetPaperSize(" Letter ");
  job.SetConfigName(" Standard ");
  job.SetUserDefinedOne("");
  job.SetUserDefinedTwo("");
  job.SetPages(3);
  job.SetCopies(2);
  job.SetPageWidth(2159);
  job.SetPageHeight(2794);
  job.SetColor(true);
  job.SetPrintedToFile(true);
  job.SetTrackStatus(kxtTrackOnly);
  job.SetUnitMeasureId(kxuSqFeet);
  job.SetCostPerUnit(Money("0.0525"));
  job.SetDatePrinted(DateTime::FromCivil(1990, 1, 1));
  EXPECT_EQ(job.ProcessName(), "winword.exe");
  EXPECT_EQ(job.PaperType(), "");
  EXPECT_EQ(job.PaperSize(), "Letter");
  EXPECT_EQ(job.ConfigName(), "Standard");

  ASSERT_EQ(job.Save(session()), nullptr);
  const DateTime server_now = Value("SELECT GETDATE()").ToDate();
  EXPECT_EQ(job.Port(), "\\\\srv\\laser-ü");  // Save changes no property

  auto rs = Query(raw(), "SELECT * FROM tblPrintJobs");
  ASSERT_EQ(rs->RecordCount(), 1);
  auto text = [&](const char* name) { return rs->Fields(name).Value().ToString(); };
  auto number = [&](const char* name) { return rs->Fields(name).Value().ToLong(); };
  auto is_null = [&](const char* name) { return rs->Fields(name).IsNull(); };
  EXPECT_EQ(number("UserId"), user);
  EXPECT_TRUE(is_null("ValidatedId"));
  EXPECT_EQ(text("NetworkUser"), "jdoe");
  EXPECT_TRUE(is_null("MachineName"));
  EXPECT_EQ(text("PrinterName"), "Laser 4");
  EXPECT_EQ(text("PrinterPort"), "\\\\SRV\\LASER-Ü");
  EXPECT_EQ(text("ProcessName"), "WINWORD.EXE");
  EXPECT_TRUE(is_null("PaperType"));
  EXPECT_EQ(text("Document"), "Q3 'final'");
  EXPECT_EQ(number("Pages"), 3);
  EXPECT_EQ(number("Copies"), 2);
  EXPECT_EQ(number("PageWidth"), 2159);
  EXPECT_EQ(number("PageHeight"), 2794);
  EXPECT_EQ(text("PaperSize"), "Letter");
  EXPECT_TRUE(rs->Fields("Color").Value().ToBoolean());
  EXPECT_EQ(rs->Fields("CostPerUnit").Value().ToCurrency(), Money("0.0525"));
  EXPECT_EQ(number("UnitMeasureId"), kxuSqFeet);
  EXPECT_TRUE(is_null("UserDefined1"));
  EXPECT_TRUE(is_null("UserDefined2"));
  EXPECT_EQ(text("ConfigName"), "Standard");
  EXPECT_EQ(number("TrackStatus"), kxtTrackOnly);
  EXPECT_TRUE(rs->Fields("PrintedToFile").Value().ToBoolean());
  EXPECT_EQ(number("Accounted"), kxaNotAccounted);
  EXPECT_TRUE(is_null("AccountedOn"));
  // The server's clock, whatever the object held.
  const int64_t skew = rs->Fields("DatePrinted").Value().ToDate().Seconds() - server_now.Seconds();
  EXPECT_LE(skew, 0);
  EXPECT_GE(skew, -5);
}

TEST_P(PrintJobTest, IdsBelowOneAreStoredAsNull) {
  for (int32_t id : {0, -1, -7}) {
    PrintJob job = Job(id);
    job.SetValidatedValueId(id);
    ASSERT_EQ(job.Save(session()), nullptr) << id;
  }
  PrintJob job = Job(-1);
  job.SetValidatedValueId(12);
  ASSERT_EQ(job.Save(session()), nullptr);
  EXPECT_EQ(Count("tblPrintJobs WHERE UserId IS NULL AND ValidatedId IS NULL"), 3);
  EXPECT_EQ(Count("tblPrintJobs WHERE UserId IS NULL AND ValidatedId = 12"), 1);
}

TEST_P(PrintJobTest, OnlyAJobWithAUserOpensATransactionAndChargesAQuota) {
  const int32_t user = AddUser(true, "10");
  // On demand there is no connection to hold a transaction: a job without a
  // user still records, one with a user (0 included) is refused whole.
  auto idle = OpenSession(false, true);
  ASSERT_EQ(Job(-1).Save(*idle), nullptr);
  EXPECT_EQ(Jobs(), 1);
  for (int32_t owner : {user, 0}) {
    KXErrorPtr error = Job(owner).Save(*idle);
    ASSERT_NE(error, nullptr) << owner;
    EXPECT_EQ(error->Message(), "Could not begin transaction. No active connection.");
  }
  EXPECT_EQ(Jobs(), 1);
  EXPECT_EQ(Quota(user), Money("10"));

  // Without a user no UPDATE is issued at all: the job records even when the
  // users table cannot be written.
  Exec("ALTER TABLE tblUsers RENAME TO tblUsersAway");
  ASSERT_EQ(Job(-1).Save(session()), nullptr);
  EXPECT_NE(Job(user).Save(session()), nullptr);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Jobs(), 2);
  Exec("ALTER TABLE tblUsersAway RENAME TO tblUsers");
  EXPECT_EQ(Quota(user), Money("10"));
}

TEST_P(PrintJobTest, QuotaIsChargedOnlyWhenTheUserUsesOne) {
  const int32_t counted = AddUser(true, "5");
  const int32_t free = AddUser(false, "5");
  ASSERT_EQ(Job(counted).Save(session()), nullptr);
  ASSERT_EQ(Job(free).Save(session()), nullptr);
  ASSERT_EQ(Job(4711).Save(session()), nullptr);  // no such user: no error
  EXPECT_EQ(Quota(counted), Money("4.95"));
  EXPECT_EQ(Quota(free), Money("5"));
  EXPECT_EQ(Jobs(), 3);

  // Saving again records and charges again; the quota may go below zero.
  PrintJob big = Job(counted);
  big.SetPages(100);
  ASSERT_EQ(big.Save(session()), nullptr);
  ASSERT_EQ(big.Save(session()), nullptr);
  EXPECT_EQ(Quota(counted), Money("-5.05"));
}

TEST_P(PrintJobTest, RecordingNeedsTheJobWritingRight) {
  const int32_t user = AddUser(true, "5");
  auto unauthorized = OpenSession(true, false);
  KXErrorPtr error = Job(user).Save(*unauthorized);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Message(), "You do not have the proper access to execute this method.");
  EXPECT_EQ(error->IconType(), 48);
  EXPECT_EQ(Jobs(), 0);
  EXPECT_EQ(Quota(user), Money("5"));
}

TEST_P(PrintJobTest, AFailedInsertTakesTheQuotaChargeWithIt) {
  const int32_t user = AddUser(true, "10");
  Exec("ALTER TABLE tblPrintJobs RENAME TO tblPrintJobsAway");
  PrintJob job = Job(user);
  job.SetMachineName("PC-7");
  job.SetValidatedValueId(4);
  job.SetPaperType("A4");
  job.SetUserDefinedTwo("Dept's");
  ErrorLogWatch log;
  KXErrorPtr error = job.Save(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->IconType(), 16);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Quota(user), Money("10"));
  auto entries = LogEntries(log.NewText());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1],
            "INSERT INTO tblPrintJobs (UserId, ValidatedId, NetworkUser, MachineName, "
            "PrinterName, PrinterPort, ProcessName, PaperType, Document, Pages, Copies, "
            "PageWidth, PageHeight, PaperSize, Color, CostPerUnit, UnitMeasureId, DatePrinted, "
            "UserDefined1, UserDefined2, ConfigName, TrackStatus, PrintedToFile) VALUES (" +
                std::to_string(user) +
                ", 4, N'jdoe', N'PC-7', N'Laser', N'LPT1:', N'WINWORD.EXE', N'A4', N'Report', 1, "
                "1, 0, 0, NULL, 0, ?, 1, GETDATE(), NULL, N'Dept''s', N'Standard', 0, 0)");

  // And a failed charge writes no job.
  Exec("ALTER TABLE tblPrintJobsAway RENAME TO tblPrintJobs");
  Exec("ALTER TABLE tblUsers RENAME TO tblUsersAway");
  EXPECT_NE(job.Save(session()), nullptr);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Jobs(), 0);
}

TEST_P(PrintJobTest, AChargeBeyondTheRangeOfMoneyIsRefusedWhole) {
  const int32_t user = AddUser(true, "0");
  const Currency lowest = Currency::FromTicks(INT64_MIN);
  Exec("UPDATE tblUsers SET QuotaRemaining = ? WHERE UserId = " + std::to_string(user),
       {Variant(lowest + Money("0.5"))});
  PrintJob job = Job(user);
  job.SetCostPerUnit(Money("0.25"));
  job.SetPages(3);
  KXErrorPtr error = job.Save(session());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->Number(), 8115);
  EXPECT_FALSE(session().InTransaction());
  EXPECT_EQ(Jobs(), 0);
  EXPECT_EQ(Quota(user), lowest + Money("0.5"));
  // Down to the lowest value itself is allowed, and it loads back.
  job.SetPages(2);
  ASSERT_EQ(job.Save(session()), nullptr);
  EXPECT_EQ(Quota(user), lowest);
  EXPECT_EQ(Jobs(), 1);
}

TEST_P(PrintJobTest, ConcurrentWritersLoseNoCharge) {
  // Two processes, each with its own session, charge one user's quota.
  const int32_t user = AddUser(true, "100");
  constexpr int kJobsEach = 500;
  ChildResult results[2];
  std::thread writers[2];
  for (int i = 0; i < 2; ++i) {
    writers[i] = std::thread([&, i] {
      results[i] =
          RunChild({KX4_JOB_WRITER, std::to_string(user), std::to_string(kJobsEach), "0.0123"});
    });
  }
  for (auto& w : writers)
    w.join();
  for (const ChildResult& r : results)
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Jobs(), 2 * kJobsEach);
  EXPECT_EQ(Quota(user), Money("100") - Money("0.0123") * (2 * kJobsEach));
}

KX4_INSTANTIATE_ENGINES(PrintJobTest);

}  // namespace
}  // namespace kx4::test
