// Reading PostgreSQL's text output into the values of a result table, and
// writing parameter values in the text form PostgreSQL reads.
#ifndef KX4DATA_DATAACCESS_POSTGRES_PGVALUES_H_
#define KX4DATA_DATAACCESS_POSTGRES_PGVALUES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx4::ado::pg {

// Type OIDs of the built-in types the engine reads.
enum : unsigned {
  kOidBool = 16,
  kOidBytea = 17,
  kOidInt8 = 20,
  kOidInt2 = 21,
  kOidInt4 = 23,
  kOidText = 25,
  kOidOid = 26,
  kOidFloat4 = 700,
  kOidFloat8 = 701,
  kOidUnknown = 705,
  kOidDate = 1082,
  kOidTime = 1083,
  kOidTimestamp = 1114,
  kOidTimestampTz = 1184,
  kOidNumeric = 1700,
};

// The type a SQL Server provider reports for a column of this type;
// `flag` marks a smallint column of the flag domain.  int8 columns come back
// as adInteger here; the caller widens them when a value does not fit.
int32_t AdoTypeFor(unsigned type_oid, int type_modifier, bool flag);

std::optional<int64_t> ParseInteger(std::string_view text);
// Exact: "-12.3456" is -123456 ticks.  More than four decimals round half to
// even; nullopt for NaN, infinity, malformed text or overflow.
std::optional<int64_t> ParseCurrencyTicks(std::string_view text);
// ISO forms in seconds of DateTime ("2024-03-05 10:00:00[.ffffff][+zz[:zz]]",
// BC years included): the time as shown, fractions rounded to the second;
// nullopt outside DateTime's years or for "infinity".
std::optional<int64_t> ParseTimestampSeconds(std::string_view text);
std::optional<int64_t> ParseTimeSeconds(std::string_view text);

// Seconds of DateTime for a civil date and time (proleptic Gregorian).
int64_t CivilToSeconds(int64_t year, int month, int day, int hour, int minute, int second);

// Exact decimal text of a money value.
std::string CurrencyText(int64_t ticks);
// "yyyy-mm-dd hh:mm:ss".
std::string TimestampText(int64_t seconds);

}  // namespace kx4::ado::pg

#endif  // KX4DATA_DATAACCESS_POSTGRES_PGVALUES_H_
