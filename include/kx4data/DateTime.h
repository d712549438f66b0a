// A civil date and time without zone, to the second, with the day numbering
// of the classic Date type: day 0 is 30 December 1899.
#ifndef KX4DATA_DATETIME_H_
#define KX4DATA_DATETIME_H_

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <kx4data/Export.h>

namespace kx4 {

class KX4DATA_API DateTime {
 public:
  constexpr DateTime() = default;  // 30 Dec 1899 00:00:00, the Date value 0

  // Throws RuntimeError (invalid procedure call) for a date that does not
  // exist (month 13, 30 February, hour 24, ...).
  static DateTime FromCivil(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0);
  static constexpr DateTime FromSeconds(int64_t seconds) { return DateTime(seconds); }
  // The classic double form: whole days since day 0, time as the fraction.
  static DateTime FromOADate(double days);
  // The local clock of this machine.
  static DateTime Now();

  // Parses the forms the library and the engines produce:
  // "yyyy-mm-dd[ hh:mm[:ss[.fff]]]" (also with 'T'), "Mmm dd, yyyy[ hh:mm[:ss]]",
  // "Mmm-dd-yyyy", "m/d/yyyy[ hh:mm[:ss][ AM|PM]]" and "hh:mm[:ss]".
  static std::optional<DateTime> Parse(std::string_view text);

  constexpr int64_t Seconds() const { return seconds_; }
  double ToOADate() const;

  int Year() const;
  int Month() const;
  int Day() const;
  int Hour() const;
  int Minute() const;
  int Second() const;
  int DayOfWeek() const;  // 1 = Sunday ... 7 = Saturday

  DateTime AddDays(int64_t days) const { return DateTime(seconds_ + days * 86400); }
  DateTime AddSeconds(int64_t seconds) const { return DateTime(seconds_ + seconds); }
  DateTime DateOnly() const;

  // Pattern letters: yyyy, yy, MMMM, MMM, MM, M (month), dd, d, hh or HH
  // (00-23), h, mm, m (minutes), ss, s.  Anything else is copied.  Month names are English whatever
  // the process locale, because the database engines parse them.
  std::string Format(std::string_view pattern) const;
  // The classic default text: "12/7/2026 10:06:29 PM", date or time alone when
  // the other part is zero.
  std::string ToString() const;

  constexpr auto operator<=>(const DateTime&) const = default;

 private:
  constexpr explicit DateTime(int64_t seconds) : seconds_(seconds) {}
  int64_t seconds_ = 0;
};

}  // namespace kx4

#endif  // KX4DATA_DATETIME_H_
