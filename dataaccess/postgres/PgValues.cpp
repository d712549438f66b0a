#include "dataaccess/postgres/PgValues.h"

#include <kx4data/DateTime.h>
#include <kx4data/RuntimeError.h>
#include <kx4data/ado/Types.h>

#include <cstdio>
#include <limits>

#include "dataaccess/Money.h"

namespace kx4::ado::pg {

namespace {

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

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
  // The lowest value, -922337203685477.5808, has no positive counterpart.
  const uint64_t limit =
      static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0);
  uint64_t ticks = 0;
  bool any = false;
  // ticks * 10 + digit, refusing what leaves the 64-bit range.
  auto push = [&ticks, limit](char digit) {
    const unsigned d = static_cast<unsigned>(digit - '0');
    if (ticks > (limit - d) / 10) {
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
    if (ticks > limit / 10) {
      return std::nullopt;
    }
    ticks *= 10;
  }
  if (round_up) {
    if (ticks == limit) {
      return std::nullopt;
    }
    ++ticks;
  }
  return negative ? static_cast<int64_t>(0 - ticks) : static_cast<int64_t>(ticks);
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
  if (pos != text.size() || year < kMinYear || year > kMaxYear) {
    return std::nullopt;
  }
  try {
    return DateTime::FromCivil(static_cast<int>(year), month, day).Seconds() + clock;
  } catch (const RuntimeError&) {
    return std::nullopt;  // no such day
  }
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
  return money::Text(ticks);
}

std::string TimestampText(int64_t seconds) {
  const DateTime t = DateTime::FromSeconds(seconds);
  if (t.Year() >= 1) {
    return t.Format("yyyy-MM-dd hh:mm:ss");
  }
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d BC", 1 - t.Year(), t.Month(),
                t.Day(), t.Hour(), t.Minute(), t.Second());
  return buffer;
}

}  // namespace kx4::ado::pg
