#include <kx4data/JobPricing.h>

#include <kx4data/AppTrack.h>
#include <kx4data/Configuration.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/PaperType.h>
#include <kx4data/Printer.h>
#include <kx4data/Settings.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "support/SessionFixture.h"

namespace kx4::test {
namespace {

Currency Money(const char* text) {
  return Currency::Parse(text);
}

std::string Price(int64_t ticks, bool color, int16_t c, int16_t p, int16_t b) {
  Currency price = Money("-1");
  KXErrorPtr e = PricePerUnit(Currency::FromTicks(ticks), color, c, p, b, price);
  return e ? "error: " + e->Message() : price.ToString();
}

TEST(PricePerUnit, MultipliesThePercentagesAndRoundsOnceHalfToEven) {
  EXPECT_EQ(Price(2500, true, 150, 125, 90), "0.4219") << "0.421875, rounded once";
  EXPECT_EQ(Price(2500, false, 150, 125, 90), "0.2812")
      << "0.28125: the colour modifier only for colour, ties to even";
  EXPECT_EQ(Price(1, false, 100, 50, 100), "0") << "0.5 ticks: ties to even";
  EXPECT_EQ(Price(3, false, 100, 50, 100), "0.0002") << "1.5 ticks";
  EXPECT_EQ(Price(5, false, 100, 50, 100), "0.0002") << "2.5 ticks";
  EXPECT_EQ(Price(-5, false, 100, 50, 100), "-0.0002");
  EXPECT_EQ(Price(-7, false, 100, 50, 100), "-0.0004");
  EXPECT_EQ(Price(10000, false, 100, -50, 100), "-0.5");
  // Rounding each step would give 0.0001 * ... = 0 at the first 50%.
  EXPECT_EQ(Price(1, true, 50, 300, 100), "0.0002");
  EXPECT_EQ(Price(std::numeric_limits<int64_t>::max(), true, 100, 100, 100),
            Currency::FromTicks(std::numeric_limits<int64_t>::max()).ToString());
  EXPECT_EQ(Price(std::numeric_limits<int64_t>::max(), true, 101, 100, 100),
            "error: The print job was not priced: its price per unit is beyond the range of "
            "money values.");
}

// A site: one configuration with a page limit, three paper types, a billing
// code, a printer, a user with a quota, and a tracked application.
class JobPricingTest : public AdministeredSessionTest {
 protected:
  void SetUp() override {
    AdministeredSessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
      return;
    plain_ = AddPaper("Plain", 100, true);
    glossy_ = AddPaper("Glossy", 150, false);
    AddPaper("Recycled", 80, false);

    office_ = AddConfig("Office", kxuPages, "0.10", 50, "Ask the print room for jobs this big.");
    Configuration config;
    ASSERT_EQ(config.Load(session(), office_), nullptr);
    config.SetColorModifier(200);
    config.SetTrackOptionId(kxtTrackOnly);
    for (const auto& paper : *config.PaperTypes()) {
      if (paper->Id() == glossy_) {
        paper->SetInCurrentConfig(true);
        paper->SetCostModifier(120);
      }
    }
    ASSERT_EQ(config.Save(session()), nullptr);

    Printer printer;
    printer.SetName("Laser 1");
    printer.SetPort("LPT1:");
    printer.SetConfigurationId(office_);
    ASSERT_EQ(printer.Save(session()), nullptr);

    ValidatedValue code;
    code.SetCode("PRJ-1");
    code.SetDescription("Project one");
    code.SetCostModifier(110);
    ASSERT_EQ(code.Save(session()), nullptr);
    code_ = code.Id();

    User user;
    user.SetName("Ada");
    user.SetPinCode("4711");
    user.SetUseQuota(true);
    user.SetQuotaRemaining(Money("5"));
    ASSERT_EQ(user.Save(session()), nullptr);
    ada_ = user.Id();

    AppTrack app;
    app.SetName("WINWORD");
    app.SetTrackOptionId(kxtIgnore);
    ASSERT_EQ(app.Save(session()), nullptr);
  }

  int32_t AddPaper(const std::string& name, int16_t modifier, bool default_type) {
    PaperType paper;
    paper.SetDescription(name);
    paper.SetCostModifier(modifier);
    paper.SetActive(true);
    paper.SetDefaultType(default_type);
    EXPECT_EQ(paper.Save(session()), nullptr);
    return paper.Id();
  }
  int32_t AddConfig(const std::string& name, int32_t unit, const char* cost, int16_t max_pages,
                    const std::string& max_error) {
    Configuration config;
    config.SetName(name);
    config.SetUnitMeasureId(unit);
    config.SetUnitCost(Money(cost));
    config.SetMaxPages(max_pages);
    config.SetMaxError(max_error);
    config.SetTrackOptionId(kxtPopup);
    EXPECT_EQ(config.Save(session()), nullptr);
    return config.Id();
  }
  void SetCancelMaxPage(bool cancel) {
    std::shared_ptr<Settings> settings;
    ASSERT_EQ(DataGlobal().GetSettings(session(), settings), nullptr);
    settings->SetCancelMaxPage(cancel);
    ASSERT_EQ(settings->Save(session()), nullptr);
  }
  static JobRequest Request() {
    JobRequest request;
    request.printer_port = "lpt1:";
    request.pin_code = "4711";
    request.network_user = "ada";
    request.document = "Budget.xlsx";
    request.pages = 3;
    request.copies = 2;
    return request;
  }
  // The message of PriceJob's refusal; `priced` must stay as it was.
  std::string Refusal(const JobRequest& request) {
    PricedJob priced;
    priced.job.SetDocument("untouched");
    KXErrorPtr e = PriceJob(session(), request, priced);
    EXPECT_EQ(priced.job.Document(), "untouched");
    return e ? e->Message() : "priced";
  }
  Currency Quota() {
    return Value("SELECT QuotaRemaining FROM tblUsers WHERE UserId = " + std::to_string(ada_))
        .ToCurrency();
  }

  int32_t plain_ = -1;
  int32_t glossy_ = -1;
  int32_t office_ = -1;
  int32_t code_ = -1;
  int32_t ada_ = -1;
};

TEST_P(JobPricingTest, PricesFromTheConfigurationPaperAndCodeAndSaveChargesThatCost) {
  JobRequest request = Request();
  request.color = true;
  request.paper_type = "GLOSSY";
  request.billing_code = "prj-1";
  request.process_name = "excel";
  PricedJob priced;
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  const PrintJob& job = priced.job;
  EXPECT_EQ(job.CostPerUnit(), Money("0.264")) << "0.10 x 200% x 120% x 110%";
  EXPECT_EQ(priced.cost, Money("1.584"));
  EXPECT_EQ(job.UserId(), ada_);
  ASSERT_NE(priced.user, nullptr);
  EXPECT_EQ(priced.user->Name(), "Ada");
  EXPECT_TRUE(priced.listed_printer);
  EXPECT_EQ(job.PrinterName(), "Laser 1");
  EXPECT_EQ(job.Port(), "lpt1:");
  EXPECT_EQ(job.ConfigName(), "Office");
  EXPECT_EQ(job.PaperType(), "Glossy");
  EXPECT_EQ(job.ValidatedValueId(), code_);
  EXPECT_EQ(job.UnitMeasureId(), kxuPages);
  EXPECT_EQ(job.TrackStatus(), kxtTrackOnly);
  EXPECT_TRUE(priced.warnings.empty());
  EXPECT_EQ(Count("tblPrintJobs"), 0) << "pricing writes nothing";

  PrintJob saved = priced.job;
  ASSERT_EQ(saved.Save(session()), nullptr);
  EXPECT_EQ(Quota(), Money("5") - priced.cost);
  EXPECT_EQ(Value("SELECT CostPerUnit FROM tblPrintJobs").ToCurrency(), Money("0.264"));
}

TEST_P(JobPricingTest, PaperTypesTheConfigurationDoesNotOfferTakeTheirDefaultModifier) {
  struct Case {
    const char* paper;
    const char* price;
    const char* recorded;
    bool warned;
  };
  const Case cases[] = {
      {"Recycled", "0.08", "Recycled", false},
      {"", "0.1", "Plain", false},  // the default paper type
      {"Vellum", "0.1", "Vellum", true},
  };
  for (const Case& c : cases) {
    JobRequest request = Request();
    request.paper_type = c.paper;
    PricedJob priced;
    ASSERT_EQ(PriceJob(session(), request, priced), nullptr) << c.paper;
    EXPECT_EQ(priced.job.CostPerUnit().ToString(), c.price) << c.paper;
    EXPECT_EQ(priced.job.PaperType(), c.recorded);
    EXPECT_EQ(priced.warnings.size(), c.warned ? 1u : 0u) << c.paper;
  }
}

TEST_P(JobPricingTest, UnlistedPortsTakeTheUnlistedPrinterConfiguration) {
  JobRequest request = Request();
  request.printer_port = "USB009";
  EXPECT_EQ(Refusal(request), "Configuration expected. Id: -1");

  const int32_t unlisted = AddConfig("Unlisted", kxuSqFeet, "1", 0, "");
  Configuration config;
  ASSERT_EQ(config.Load(session(), unlisted), nullptr);
  ASSERT_EQ(config.SetAsUnlistedPrinterConfig(session()), nullptr);
  request.pages = 1;
  request.copies = 1;
  request.page_width = 2159;
  request.page_height = 2794;
  PricedJob priced;
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  EXPECT_FALSE(priced.listed_printer);
  EXPECT_EQ(priced.job.PrinterName(), "USB009");
  EXPECT_EQ(priced.job.ConfigName(), "Unlisted");
  EXPECT_EQ(priced.job.TrackStatus(), kxtPopup);
  EXPECT_EQ(priced.cost, Money("0.6493")) << "a letter page in square feet";
}

TEST_P(JobPricingTest, APageLimitRefusesOrOnlyWarnsAsTheSettingsSay) {
  JobRequest request = Request();
  request.pages = 26;  // 52 pages with two copies; the limit is 50
  SetCancelMaxPage(true);
  PricedJob priced;
  KXErrorPtr e = PriceJob(session(), request, priced);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Ask the print room for jobs this big.");
  EXPECT_EQ(e->KXErrorNumber(), erActionCancelled);
  EXPECT_EQ(e->IconType(), KXError::kIconExclamation);

  request.pages = 25;
  EXPECT_EQ(PriceJob(session(), request, priced), nullptr) << "exactly the limit";
  EXPECT_TRUE(priced.warnings.empty());

  SetCancelMaxPage(false);
  request.pages = 26;
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  EXPECT_EQ(priced.warnings, std::vector<std::string>{"Ask the print room for jobs this big."});
}

TEST_P(JobPricingTest, ATrackedApplicationChoosesItsOwnTrackStatusUnlessIgnored) {
  JobRequest request = Request();
  request.process_name = " winword ";
  PricedJob priced;
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  EXPECT_EQ(priced.job.TrackStatus(), kxtIgnore);
  EXPECT_EQ(priced.job.ProcessName(), "winword");

  ASSERT_EQ(DataGlobal().SetApplicationTrack(session(), true), nullptr);
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  EXPECT_EQ(priced.job.TrackStatus(), kxtTrackOnly) << "the configuration's option";
}

TEST_P(JobPricingTest, RefusesBadInputAndUnknownReferences) {
  auto with = [](auto change) {
    JobRequest request = Request();
    change(request);
    return request;
  };
  EXPECT_EQ(Refusal(with([](JobRequest& r) { r.pages = -1; })),
            "The print job was not priced: the page count -1 is outside 0 to 32767.");
  EXPECT_EQ(Refusal(with([](JobRequest& r) { r.copies = 0; })),
            "The print job was not priced: the number of copies 0 is outside 1 to 32767.");
  EXPECT_EQ(Refusal(with([](JobRequest& r) {
              r.pages = 200;
              r.copies = 200;
            })),
            "The print job was not priced: pages times copies 40000 is outside 0 to 32767.");
  EXPECT_EQ(Refusal(with([](JobRequest& r) { r.page_width = -5; })),
            "The print job was not priced: the page width -5 is outside 0 to 2147483647.");
  EXPECT_EQ(Refusal(with([](JobRequest& r) { r.pin_code = "0000"; })), "User record expected.");
  EXPECT_EQ(Refusal(with([](JobRequest& r) { r.billing_code = "NOPE"; })),
            "Validated value record expected. Code: NOPE");

  ValidatedValue code;
  ASSERT_EQ(code.Load(session(), code_), nullptr);
  code.SetActive(false);
  ASSERT_EQ(code.Save(session()), nullptr);
  EXPECT_EQ(Refusal(with([](JobRequest& r) { r.billing_code = "PRJ-1"; })),
            "The billing code PRJ-1 is not active.");

  User ada;
  ASSERT_EQ(ada.Load(session(), ada_), nullptr);
  ada.SetActive(false);
  ASSERT_EQ(ada.Save(session()), nullptr);
  EXPECT_EQ(Refusal(Request()), "Invalid PIN code.");
  const int32_t id = ada_;
  EXPECT_EQ(Refusal(with([id](JobRequest& r) {
              r.pin_code.clear();
              r.user_id = id;
            })),
            "The user Ada is not active.");
  EXPECT_EQ(Count("tblPrintJobs"), 0);
  EXPECT_EQ(Quota(), Money("5"));
}

TEST_P(JobPricingTest, QuotaRefusalIsTheCallersChoiceAndJobsWithoutUserChargeNobody) {
  JobRequest request = Request();
  request.pages = 25;  // 50 x 0.10 = 5, all that is left
  request.refuse_over_quota = true;
  PricedJob priced;
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  request.pages = 1;
  request.copies = 51;
  SetCancelMaxPage(false);
  KXErrorPtr e = PriceJob(session(), request, priced);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Message(), "Not enough quota left: the job costs 5.1 and 5 remains.");
  EXPECT_EQ(e->KXErrorNumber(), erActionCancelled);

  request.pin_code.clear();
  ASSERT_EQ(PriceJob(session(), request, priced), nullptr);
  EXPECT_EQ(priced.user, nullptr);
  EXPECT_EQ(priced.job.UserId(), -1);
  PrintJob job = priced.job;
  ASSERT_EQ(job.Save(session()), nullptr);
  EXPECT_EQ(Quota(), Money("5"));
}

KX4_INSTANTIATE_ENGINES(JobPricingTest);

}  // namespace
}  // namespace kx4::test
