#include "dataaccess/postgres/PgValues.h"

#include <kx4data/ado/Types.h>

#include <cstdio>
#include <limits>

namespace kx4::ado::pg {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day 0 of the classic Date type (30 Dec 1899) counted from 1 Jan 1970.
constexpr int64_t kEpochOffsetDays = -25569;
constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

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

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `pos`.
bool Digits(std::string_view text, size_t& pos, size_t count, int& value) {
  if (pos + count > text.size()) {
    return false;
  }
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[pos + i];
    if (!IsDigit(c)) {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

// "hh:mm:ss[.ffffff]" at `pos`; the fraction rounds to the nearest second.
bool ClockAt(std::string_view text, size_t& pos, int64_t& seconds) {
  int h, mi, s;
  if (!Digits(text, pos, 2, h) || pos >= text.size() || text[pos++] != ':' ||
      !Digits(text, pos, 2, mi) || pos >= text.size() || text[pos++] != ':' ||
      !Digits(text, pos, 2, s)) {
    return false;
  }
  if (h > 24 || mi > 59 || s > 60) {
    return false;
  }
  seconds = h * 3600 + mi * 60 + s;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    if (pos >= text.size() || !IsDigit(text[pos])) {
      return false;
    }
    if (text[pos] >= '5') {
      ++seconds;
    }
    while (pos < text.size() && IsDigit(text[pos])) {
      ++pos;
    }
  }
  return true;
}

}  // namespace

int32_t AdoTypeFor(unsigned type_oid, int type_modifier, bool flag) {
  switch (type_oid) {
    case kOidBool:
      return adBoolean;
    case kOidInt2:
      return flag ? adBoolean : adSmallInt;
    case kOidInt4:
    case kOidInt8:
    case kOidOid:
      return adInteger;
    case kOidFloat4:
      return adSingle;
    case kOidFloat8:
      return adDouble;
    case kOidNumeric: {
      // numeric(p,s) with s <= 4 and at most 15 whole digits is money; the
      // rest (sums, averages, wider columns) is a double.
      if (type_modifier >= 4) {
        int precision = ((type_modifier - 4) >> 16) & 0xffff;
        int scale = (type_modifier - 4) & 0x7ff;
        if (scale <= 4 && precision - scale <= 15) {
          return adCurrency;
        }
      }
      return adDouble;
    }
    case kOidDate:
      return adDBDate;
    case kOidTime:
      return adDBTime;
    case kOidTimestamp:
    case kOidTimestampTz:
      return adDBTimeStamp;
    default:
      return adVarWChar;
  }
}

std::optional<int64_t> ParseInteger(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos++] == '-';
  }
  if (pos >= text.size()) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (!IsDigit(c) || value > (std::numeric_limits<uint64_t>::max() - 9) / 10) {
      return std::nullopt;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  constexpr uint64_t kMaxPositive = std::numeric_limits<int64_t>::max();
  if (value > kMaxPositive + (negative ? 1 : 0)) {
    return std::nullopt;
  }
  return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

std::optional<int64_t> ParseCurrencyTicks(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos++] == '-';
  }
  constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  uint64_t ticks = 0;
  bool any = false;
  // ticks * 10 + digit, refusing what leaves the 64-bit range.
  auto push = [&ticks](char digit) {
    const unsigned d = static_cast<unsigned>(digit - '0');
    if (ticks > (kLimit - d) / 10) {
      return false;
    }
    ticks = ticks * 10 + d;
    return true;
  };
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    if (!push(text[pos])) {
      return std::nullopt;
    }
    any = true;
  }
  int decimals = 0;
  bool round_up = false;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos, any = true) {
      if (decimals < 4) {
        if (!push(text[pos])) {
          return std::nullopt;
        }
        ++decimals;
        continue;
      }
      if (decimals == 4) {
        // Half to even on the first dropped digit and any after it.
        char first = text[pos];
        bool rest_nonzero = false;
        for (size_t k = pos + 1; k < text.size() && IsDigit(text[k]); ++k) {
          rest_nonzero |= text[k] != '0';
        }
        round_up = first > '5' || (first == '5' && (rest_nonzero || (ticks & 1)));
        decimals = 5;
      }
    }
  }
  if (!any || pos != text.size()) {
    return std::nullopt;
  }
  for (int d = std::min(decimals, 4); d < 4; ++d) {
    if (ticks > kLimit / 10) {
      return std::nullopt;
    }
    ticks *= 10;
  }
  if (round_up) {
    if (ticks == kLimit) {
      return std::nullopt;
    }
    ++ticks;
  }
  return negative ? -static_cast<int64_t>(ticks) : static_cast<int64_t>(ticks);
}

int64_t CivilToSeconds(int64_t year, int month, int day, int hour, int minute, int second) {
  int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                 kEpochOffsetDays;
  return days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

std::optional<int64_t> ParseTimestampSeconds(std::string_view text) {
  // Years have four digits or more; "BC" follows the time.
  size_t pos = 0;
  int64_t year = 0;
  size_t year_digits = 0;
  while (pos < text.size() && IsDigit(text[pos]) && year_digits < 7) {
    year = year * 10 + (text[pos++] - '0');
    ++year_digits;
  }
  int month, day;
  if (year_digits < 4 || pos >= text.size() || text[pos++] != '-' || !Digits(text, pos, 2, month) ||
      pos >= text.size() || text[pos++] != '-' || !Digits(text, pos, 2, day)) {
    return std::nullopt;
  }
  int64_t clock = 0;
  if (pos < text.size() && text[pos] == ' ' && pos + 1 < text.size() && IsDigit(text[pos + 1])) {
    ++pos;
    if (!ClockAt(text, pos, clock)) {
      return std::nullopt;
    }
    // A zone offset ("+01", "-05:30") is that of the session: the clock as
    // shown is the local time.
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
      ++pos;
      while (pos < text.size() && (IsDigit(text[pos]) || text[pos] == ':')) {
        ++pos;
      }
    }
  }
  if (text.substr(pos) == " BC") {
    year = 1 - year;
    pos = text.size();
  }
  if (pos != text.size() || year < kMinYear || year > kMaxYear || month < 1 || month > 12 ||
      day < 1 || day > 31) {
    return std::nullopt;
  }
  return CivilToSeconds(year, month, day, 0, 0, 0) + clock;
}

std::optional<int64_t> ParseTimeSeconds(std::string_view text) {
  size_t pos = 0;
  int64_t clock = 0;
  if (!ClockAt(text, pos, clock)) {
    return std::nullopt;
  }
  return clock;
}

std::string CurrencyText(int64_t ticks) {
  char buffer[32];
  uint64_t magnitude = ticks < 0 ? 0 - static_cast<uint64_t>(ticks) : static_cast<uint64_t>(ticks);
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", ticks < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buffer;
}

std::string TimestampText(int64_t seconds) {
  int64_t days = seconds / kSecondsPerDay;
  int64_t clock = seconds % kSecondsPerDay;
  if (clock < 0) {
    clock += kSecondsPerDay;
    --days;
  }
  Civil civil = CivilFromDays(days + kEpochOffsetDays);
  char buffer[48];
  if (civil.year < 1) {
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02d:%02d:%02d BC",
                  static_cast<long long>(1 - civil.year), civil.month, civil.day,
                  static_cast<int>(clock / 3600), static_cast<int>(clock / 60 % 60),
                  static_cast<int>(clock % 60));
  } else {
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02d:%02d:%02d",
                  static_cast<long long>(civil.year), civil.month, civil.day,
                  static_cast<int>(clock / 3600), static_cast<int>(clock / 60 % 60),
                  static_cast<int>(clock % 60));
  }
  return buffer;
}

}  // namespace kx4::ado::pg
