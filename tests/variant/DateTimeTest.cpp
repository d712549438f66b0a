#include <kx4data/DateTime.h>
#include <kx4data/RuntimeError.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

namespace kx4 {
namespace {

TEST(DateTime, DayNumberingOfTheClassicDateType) {
  EXPECT_EQ(DateTime().Year(), 1899);
  EXPECT_EQ(DateTime().Month(), 12);
  EXPECT_EQ(DateTime().Day(), 30);
  EXPECT_DOUBLE_EQ(DateTime::FromCivil(2026, 12, 7).ToOADate(), 46363.0);
  EXPECT_DOUBLE_EQ(DateTime::FromCivil(1900, 1, 1, 12).ToOADate(), 2.5);
  // Before day 0 the time of day is the magnitude of the fraction.
  DateTime before = DateTime::FromOADate(-1.25);
  EXPECT_EQ(before.Day(), 29);
  EXPECT_EQ(before.Hour(), 6);
  EXPECT_DOUBLE_EQ(before.ToOADate(), -1.25);
  EXPECT_EQ(DateTime::FromCivil(2026, 12, 9).DayOfWeek(), 4);  // a Wednesday
}

TEST(DateTime, DayArithmeticCrossesMonthsAndLeapDays) {
  DateTime d = DateTime::FromCivil(2024, 2, 28, 23, 59, 59);
  EXPECT_EQ(d.AddDays(1).Format("yyyy-MM-dd hh:mm:ss"), "2024-02-29 23:59:59");
  EXPECT_EQ(d.AddDays(2).Format("yyyy-MM-dd"), "2024-03-01");
  EXPECT_EQ(d.AddSeconds(1).Format("yyyy-MM-dd hh:mm:ss"), "2024-02-29 00:00:00");
  EXPECT_EQ(d.DateOnly().Format("hh:mm:ss"), "00:00:00");
  EXPECT_THROW(DateTime::FromCivil(2023, 2, 29), RuntimeError);
  EXPECT_THROW(DateTime::FromCivil(2023, 1, 1, 24), RuntimeError);
}

TEST(DateTime, FormatsMonthsInEnglishWhateverTheLocale) {
  // A German locale would print "Dez"; the engines only read English names.
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  std::setlocale(LC_ALL, "");
  DateTime d = DateTime::FromCivil(2026, 12, 7, 22, 6, 29);
  EXPECT_EQ(d.Format("MMM dd, yyyy hh:mm:ss"), "Dec 07, 2026 22:06:29");
  EXPECT_EQ(DateTime::FromCivil(2026, 3, 5).Format("MMM-dd-yyyy"), "Mar-05-2026");
  EXPECT_EQ(d.ToString(), "12/7/2026 10:06:29 PM");
  std::setlocale(LC_ALL, "C");
  unsetenv("LC_ALL");
}

TEST(DateTime, ParsesTheFormsTheLibraryAndEnginesProduce) {
  DateTime want = DateTime::FromCivil(2026, 12, 7, 22, 6, 29);
  EXPECT_EQ(DateTime::Parse("Dec 07, 2026 22:06:29"), want);
  EXPECT_EQ(DateTime::Parse("2026-12-07 22:06:29.123"), want);
  EXPECT_EQ(DateTime::Parse("2026-12-07T22:06:29"), want);
  EXPECT_EQ(DateTime::Parse("12/7/2026 10:06:29 PM"), want);
  EXPECT_EQ(DateTime::Parse("Mar-05-2026"), DateTime::FromCivil(2026, 3, 5));
  EXPECT_EQ(DateTime::Parse("12:00:00 AM"), DateTime());
  EXPECT_FALSE(DateTime::Parse("Feb 30, 2026").has_value());
  EXPECT_FALSE(DateTime::Parse("tomorrow").has_value());
  EXPECT_FALSE(DateTime::Parse("").has_value());
  EXPECT_FALSE(DateTime::Parse("2026-12-07 25:00").has_value());
}

}  // namespace
}  // namespace kx4
