#include "tools/kx4/Options.h"

#include <gtest/gtest.h>
#include <CLI/CLI.hpp>

namespace kx4::cli {
namespace {

TEST(Options, MoneyIsAPlainDecimalOrAUsageError) {
  EXPECT_EQ(ParseMoney("--quota", "12.5").Ticks(), 125000);
  EXPECT_EQ(ParseMoney("--quota", "-.25").Ticks(), -2500);
  EXPECT_EQ(ParseMoney("--quota", "+3").Ticks(), 30000);
  // Each of these would otherwise be read as some other amount, or none.
  for (const char* bad : {"abc", "", "1e3", "12,5", " 5", "5 ", "$5", "0x10", "nan", "1.2.3"})
    EXPECT_THROW(ParseMoney("--quota", bad), CLI::ValidationError) << bad;
  EXPECT_THROW(ParseMoney("--quota", "99999999999999999999"), CLI::ValidationError);
}

TEST(Options, DatesAreIsoAndMustExist) {
  EXPECT_EQ(ParseDate("--from", "2026-03-05"), DateTime::FromCivil(2026, 3, 5));
  EXPECT_EQ(ParseDate("--from", "2026-03-05 10:07"), DateTime::FromCivil(2026, 3, 5, 10, 7));
  EXPECT_EQ(ParseDate("--from", "2026-03-05T10:07:09"), DateTime::FromCivil(2026, 3, 5, 10, 7, 9));
  for (const char* bad : {"2026-02-30", "2026-13-01", "5/3/2026", "Mar 05, 2026", "2026-03-05x",
                          "2026-03-05 24:00", "yesterday", ""})
    EXPECT_THROW(ParseDate("--from", bad), CLI::ValidationError) << bad;
}

TEST(Options, StatementParametersAreTyped) {
  EXPECT_EQ(ParseParameter("text:a:b"), Variant("a:b"));
  EXPECT_EQ(ParseParameter("text:"), Variant(""));
  EXPECT_EQ(ParseParameter("int:-42"), Variant(int32_t{-42}));
  EXPECT_EQ(ParseParameter("number:2.5"), Variant(2.5));
  EXPECT_EQ(ParseParameter("money:0.05"), Variant(Currency::FromTicks(500)));
  EXPECT_EQ(ParseParameter("date:2026-03-05"), Variant(DateTime::FromCivil(2026, 3, 5)));
  EXPECT_EQ(ParseParameter("flag:false"), Variant(false));
  for (const char* bad : {"42", "int:4x", "int:3000000000", "int:", "number:inf", "money:ten",
                          "date:05.03.2026", "flag:yes", "blob:00"})
    EXPECT_THROW(ParseParameter(bad), CLI::ValidationError) << bad;
}

TEST(Options, SwitchesAndNamedValuesParse) {
  CLI::App app;
  std::optional<bool> active;
  std::optional<bool> admin;
  std::optional<KXReportSecurity> report;
  std::optional<KXTrackStatus> track;
  AddSwitch(app, "active", active, "");
  AddSwitch(app, "admin", admin, "");
  AddReportSecurityOption(app, "report", report);
  AddTrackStatusOption(app, "track", track);
  app.parse(std::vector<std::string>{"--track=TRACK-ONLY", "--report=own", "--no-active"});
  EXPECT_EQ(active, false);
  EXPECT_EQ(admin, std::nullopt);
  EXPECT_EQ(report, kxrOwnData);
  EXPECT_EQ(track, kxtTrackOnly);
  EXPECT_THROW(app.parse(std::vector<std::string>{"--report=most"}), CLI::ValidationError);
}

}  // namespace
}  // namespace kx4::cli
