#include <kx4data/DateTime.h>

#include <kx4data/RuntimeError.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace kx4 {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day 0 of the classic Date type (30 Dec 1899) counted from 1 Jan 1970.
constexpr int64_t kEpochOffsetDays = -25569;

constexpr const char* kMonthAbbrev[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kMonthName[] = {"January",   "February", "March",    "April",
                                      "May",       "June",     "July",     "August",
                                      "September", "October",  "November", "December"};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct Civil {
  int64_t year;
  unsigned month, day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), m, d};
}

bool IsLeap(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// A tiny cursor over the text being parsed.
struct Scanner {
  std::string_view s;
  size_t i = 0;
  void Spaces() {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
      ++i;
  }
  bool Done() const { return i >= s.size(); }
  bool Eat(char c) {
    if (i < s.size() && s[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
  bool Number(int& out, int max_digits = 4) {
    int n = 0, v = 0;
    while (i < s.size() && n < max_digits && std::isdigit(static_cast<unsigned char>(s[i]))) {
      v = v * 10 + (s[i++] - '0');
      ++n;
    }
    out = v;
    return n > 0;
  }
  bool Month(int& out) {
    if (s.size() - i < 3)
      return false;
    for (int m = 0; m < 12; ++m) {
      bool match = true;
      for (int k = 0; k < 3; ++k) {
        if (std::tolower(static_cast<unsigned char>(s[i + k])) !=
            std::tolower(static_cast<unsigned char>(kMonthAbbrev[m][k]))) {
          match = false;
        }
      }
      if (match) {
        i += 3;
        while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i])))
          ++i;  // "March"
        out = m + 1;
        return true;
      }
    }
    return false;
  }
};

bool ValidCivil(int y, int mo, int d, int h, int mi, int s) {
  return mo >= 1 && mo <= 12 && d >= 1 && static_cast<unsigned>(d) <= DaysInMonth(y, mo) &&
         h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 60;
}

// "hh:mm[:ss[.fff]][ AM|PM]"; fractions of a second are dropped.
bool ParseTime(Scanner& sc, int& h, int& mi, int& s) {
  h = mi = s = 0;
  if (!sc.Number(h, 2) || !sc.Eat(':') || !sc.Number(mi, 2))
    return false;
  if (sc.Eat(':')) {
    if (!sc.Number(s, 2))
      return false;
    if (sc.Eat('.')) {
      int ignored;
      sc.Number(ignored, 9);
    }
  }
  sc.Spaces();
  if (sc.s.size() - sc.i >= 2) {
    char a = static_cast<char>(std::toupper(static_cast<unsigned char>(sc.s[sc.i])));
    char b = static_cast<char>(std::toupper(static_cast<unsigned char>(sc.s[sc.i + 1])));
    if ((a == 'A' || a == 'P') && b == 'M') {
      if (h < 1 || h > 12)
        return false;
      if (a == 'A' && h == 12)
        h = 0;
      if (a == 'P' && h != 12)
        h += 12;
      sc.i += 2;
    }
  }
  return true;
}

}  // namespace

DateTime DateTime::FromCivil(int year, int month, int day, int hour, int minute, int second) {
  if (!ValidCivil(year, month, day, hour, minute, second)) {
    throw RuntimeError(kErrInvalidProcedureCall, "Invalid procedure call or argument");
  }
  int64_t days = DaysFromCivil(year, month, day) - kEpochOffsetDays;
  return DateTime(days * kSecondsPerDay + hour * 3600 + minute * 60 + second);
}

DateTime DateTime::FromOADate(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3e6)
    throw RuntimeError(kErrOverflow, "Overflow");
  double whole = std::trunc(days);
  // The time of day is the magnitude of the fraction, also before day 0.
  int64_t secs = std::llround(std::fabs(days - whole) * kSecondsPerDay);
  return DateTime(static_cast<int64_t>(whole) * kSecondsPerDay + secs);
}

DateTime DateTime::Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return FromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                   tm.tm_sec == 60 ? 59 : tm.tm_sec);
}

std::optional<DateTime> DateTime::Parse(std::string_view text) {
  Scanner sc{text};
  sc.Spaces();
  int y = 1899, mo = 12, d = 30, h = 0, mi = 0, s = 0;
  size_t start = sc.i;
  int first;
  bool has_date = false;
  if (sc.Month(mo)) {  // "Mmm dd, yyyy" or "Mmm-dd-yyyy"
    sc.Eat('-') || (sc.Spaces(), true);
    if (!sc.Number(d, 2))
      return std::nullopt;
    if (!sc.Eat('-')) {
      sc.Eat(',');
      sc.Spaces();
    }
    if (!sc.Number(y))
      return std::nullopt;
    has_date = true;
  } else if (sc.Number(first)) {
    if (sc.Eat('-')) {  // yyyy-mm-dd
      y = first;
      if (!sc.Number(mo, 2) || !sc.Eat('-') || !sc.Number(d, 2))
        return std::nullopt;
      has_date = true;
    } else if (sc.Eat('/')) {  // m/d/yyyy
      mo = first;
      if (!sc.Number(d, 2) || !sc.Eat('/') || !sc.Number(y))
        return std::nullopt;
      has_date = true;
    } else {
      sc.i = start;  // a time alone
    }
  }
  if (has_date) {
    if (!sc.Eat('T'))
      sc.Spaces();
  }
  if (!sc.Done()) {
    if (!ParseTime(sc, h, mi, s))
      return std::nullopt;
    sc.Spaces();
  }
  if (!sc.Done() || (!has_date && sc.i == start))
    return std::nullopt;
  if (!ValidCivil(y, mo, d, h, mi, s))
    return std::nullopt;
  return FromCivil(y, mo, d, h, mi, s);
}

double DateTime::ToOADate() const {
  int64_t days = FloorDiv(seconds_, kSecondsPerDay);
  double frac = static_cast<double>(seconds_ - days * kSecondsPerDay) / kSecondsPerDay;
  return days >= 0 ? days + frac : days - frac;
}

static Civil CivilOf(int64_t seconds) {
  return CivilFromDays(FloorDiv(seconds, kSecondsPerDay) + kEpochOffsetDays);
}

int DateTime::Year() const {
  return static_cast<int>(CivilOf(seconds_).year);
}
int DateTime::Month() const {
  return static_cast<int>(CivilOf(seconds_).month);
}
int DateTime::Day() const {
  return static_cast<int>(CivilOf(seconds_).day);
}
int DateTime::Hour() const {
  return static_cast<int>((seconds_ - FloorDiv(seconds_, kSecondsPerDay) * kSecondsPerDay) / 3600);
}
int DateTime::Minute() const {
  return static_cast<int>((seconds_ - FloorDiv(seconds_, 3600) * 3600) / 60);
}
int DateTime::Second() const {
  return static_cast<int>(seconds_ - FloorDiv(seconds_, 60) * 60);
}
int DateTime::DayOfWeek() const {
  // Day 0 (30 Dec 1899) was a Saturday.
  int64_t days = FloorDiv(seconds_, kSecondsPerDay);
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

DateTime DateTime::DateOnly() const {
  return DateTime(FloorDiv(seconds_, kSecondsPerDay) * kSecondsPerDay);
}

std::string DateTime::Format(std::string_view pattern) const {
  Civil c = CivilOf(seconds_);
  int h = Hour(), mi = Minute(), s = Second();
  std::string out;
  char buf[16];
  auto put = [&](int width, int64_t v) {
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
    out += buf;
  };
  for (size_t i = 0; i < pattern.size();) {
    char ch = pattern[i];
    size_t n = 1;
    while (i + n < pattern.size() && pattern[i + n] == ch)
      ++n;
    switch (ch) {
      case 'y':
        if (n >= 4) {
          put(4, c.year);
        } else {
          put(2, ((c.year % 100) + 100) % 100);
        }
        break;
      case 'M':
        if (n >= 4) {
          out += kMonthName[c.month - 1];
        } else if (n == 3) {
          out += kMonthAbbrev[c.month - 1];
        } else {
          put(static_cast<int>(n), c.month);
        }
        break;
      case 'd':
        put(n >= 2 ? 2 : 1, c.day);
        break;
      case 'h':
      case 'H':
        put(n >= 2 ? 2 : 1, h);
        break;
      case 'm':
        put(n >= 2 ? 2 : 1, mi);
        break;
      case 's':
        put(n >= 2 ? 2 : 1, s);
        break;
      default:
        out.append(n, ch);
        break;
    }
    i += n;
  }
  return out;
}

std::string DateTime::ToString() const {
  int64_t days = FloorDiv(seconds_, kSecondsPerDay);
  int64_t tod = seconds_ - days * kSecondsPerDay;
  std::string out;
  if (days != 0 || tod == 0)
    out = Format("M/d/yyyy");
  if (tod != 0) {
    int h = Hour();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h % 12 == 0 ? 12 : h % 12, Minute(), Second(),
                  h < 12 ? "AM" : "PM");
    if (!out.empty())
      out += ' ';
    out += buf;
  }
  return out;
}

}  // namespace kx4
