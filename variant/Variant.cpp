#include <kx4data/Variant.h>

#include <kx4data/RuntimeError.h>

#include "variant/Utf8.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

namespace kx4 {
namespace {

[[noreturn]] void TypeMismatch() {
  throw RuntimeError(kErrTypeMismatch, "Type mismatch");
}
[[noreturn]] void Overflow() {
  throw RuntimeError(kErrOverflow, "Overflow");
}
[[noreturn]] void InvalidNull() {
  throw RuntimeError(kErrInvalidUseOfNull, "Invalid use of Null");
}

// The whole text, blanks aside, must be one decimal number.
std::optional<double> ParseNumber(std::string_view text) {
  std::string_view t = TrimWhitespace(text);
  if (t.empty())
    return std::nullopt;
  // strtod would also take hex, "inf" and "nan": refuse what is not decimal.
  for (char c : t) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' ||
          c == 'e' || c == 'E')) {
      return std::nullopt;
    }
  }
  std::string copy(t);
  char* end = nullptr;
  double v = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str() || *end != '\0')
    return std::nullopt;
  return v;
}

double RoundHalfEven(double v) {
  double r = std::nearbyint(v);  // the default rounding mode rounds ties to even
  if (std::fabs(v - std::trunc(v)) == 0.5) {
    r = 2.0 * std::round(v / 2.0);
  }
  return r;
}

template <typename Int>
Int ToWhole(double v) {
  if (std::isnan(v))
    Overflow();
  double r = RoundHalfEven(v);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max())) {
    Overflow();
  }
  return static_cast<Int>(r);
}

template <typename Int>
Int WholeFromCurrency(Currency c) {
  int64_t t = c.Ticks();
  int64_t q = t / Currency::kScale, rem = t % Currency::kScale;
  int64_t twice = 2 * (rem < 0 ? -rem : rem);
  if (twice > Currency::kScale || (twice == Currency::kScale && q % 2 != 0))
    q += t < 0 ? -1 : 1;
  if (q < std::numeric_limits<Int>::min() || q > std::numeric_limits<Int>::max())
    Overflow();
  return static_cast<Int>(q);
}

std::string FormatFloating(double v, int digits) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*G", digits, v);
  std::string s = buf;
  if (s == "-0")
    s = "0";
  return s;
}

}  // namespace

Variant::Variant(VariantArray array)
    : value_(std::make_shared<const VariantArray>(std::move(array))) {}

int32_t Variant::VarType() const {
  static constexpr int32_t kCodes[] = {vbEmpty,  vbNull,    vbInteger,  vbLong,
                                       vbSingle, vbDouble,  vbCurrency, vbDate,
                                       vbString, vbBoolean, vbByte,     vbArray + vbVariant};
  return kCodes[value_.index()];
}

bool Variant::IsArray() const {
  return std::holds_alternative<std::shared_ptr<const VariantArray>>(value_);
}

bool Variant::IsNumeric() const {
  switch (VarType()) {
    case vbEmpty:
    case vbInteger:
    case vbLong:
    case vbSingle:
    case vbDouble:
    case vbCurrency:
    case vbBoolean:
    case vbByte:
      return true;
    case vbString:
      return ParseNumber(*Get<std::string>()).has_value();
    default:
      return false;
  }
}

const VariantArray& Variant::Array() const {
  if (!IsArray())
    TypeMismatch();
  return **Get<std::shared_ptr<const VariantArray>>();
}

double Variant::ToDouble() const {
  return std::visit(
      [](const auto& v) -> double {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return 0;
        } else if constexpr (std::is_same_v<T, NullTag>) {
          InvalidNull();
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? -1 : 0;
        } else if constexpr (std::is_arithmetic_v<T>) {
          return static_cast<double>(v);
        } else if constexpr (std::is_same_v<T, Currency>) {
          return v.ToDouble();
        } else if constexpr (std::is_same_v<T, DateTime>) {
          return v.ToOADate();
        } else if constexpr (std::is_same_v<T, std::string>) {
          auto n = ParseNumber(v);
          if (!n)
            TypeMismatch();
          return *n;
        } else {
          TypeMismatch();
        }
      },
      value_);
}

int16_t Variant::ToInteger() const {
  if (auto c = Get<Currency>())
    return WholeFromCurrency<int16_t>(*c);
  if (auto l = Get<int32_t>()) {
    if (*l < INT16_MIN || *l > INT16_MAX)
      Overflow();
    return static_cast<int16_t>(*l);
  }
  return ToWhole<int16_t>(ToDouble());
}

int32_t Variant::ToLong() const {
  if (auto l = Get<int32_t>())
    return *l;
  if (auto c = Get<Currency>())
    return WholeFromCurrency<int32_t>(*c);
  return ToWhole<int32_t>(ToDouble());
}

uint8_t Variant::ToByte() const {
  if (auto c = Get<Currency>())
    return WholeFromCurrency<uint8_t>(*c);
  return ToWhole<uint8_t>(ToDouble());
}

float Variant::ToSingle() const {
  if (auto f = Get<float>())
    return *f;
  double d = ToDouble();
  if (std::isfinite(d) && std::fabs(d) > FLT_MAX)
    Overflow();
  return static_cast<float>(d);
}

Currency Variant::ToCurrency() const {
  if (auto c = Get<Currency>())
    return *c;
  if (auto s = Get<std::string>())
    return Currency::Parse(*s);
  if (auto l = Get<int32_t>())
    return Currency::FromInteger(*l);
  if (auto i = Get<int16_t>())
    return Currency::FromInteger(*i);
  if (auto b = Get<uint8_t>())
    return Currency::FromInteger(*b);
  return Currency::FromDouble(ToDouble());
}

DateTime Variant::ToDate() const {
  if (auto d = Get<DateTime>())
    return *d;
  if (auto s = Get<std::string>()) {
    if (auto parsed = DateTime::Parse(*s))
      return *parsed;
    if (auto n = ParseNumber(*s))
      return DateTime::FromOADate(*n);
    TypeMismatch();
  }
  return DateTime::FromOADate(ToDouble());
}

bool Variant::ToBoolean() const {
  if (auto b = Get<bool>())
    return *b;
  if (auto s = Get<std::string>()) {
    std::string_view t = TrimWhitespace(*s);
    if (EqualsAsciiNoCase(t, "True"))
      return true;
    if (EqualsAsciiNoCase(t, "False"))
      return false;
    auto n = ParseNumber(t);
    if (!n)
      TypeMismatch();
    return *n != 0;
  }
  if (auto c = Get<Currency>())
    return c->Ticks() != 0;
  return ToDouble() != 0;
}

std::string Variant::ToString() const {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return {};
        } else if constexpr (std::is_same_v<T, NullTag>) {
          InvalidNull();
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? "True" : "False";
        } else if constexpr (std::is_same_v<T, float>) {
          return FormatFloating(v, 7);
        } else if constexpr (std::is_same_v<T, double>) {
          return FormatFloating(v, 15);
        } else if constexpr (std::is_arithmetic_v<T>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, Currency> || std::is_same_v<T, DateTime>) {
          return v.ToString();
        } else if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else {
          TypeMismatch();
        }
      },
      value_);
}

bool Variant::operator==(const Variant& other) const {
  if (value_.index() != other.value_.index())
    return false;
  if (IsArray())
    return Array() == other.Array();
  return value_ == other.value_;
}

const Variant& VariantArray::operator[](int32_t index) const {
  int64_t k = static_cast<int64_t>(index) - lower_;
  if (k < 0 || k >= static_cast<int64_t>(elements_.size())) {
    throw RuntimeError(kErrSubscriptOutOfRange, "Subscript out of range");
  }
  return elements_[static_cast<size_t>(k)];
}

Variant& VariantArray::operator[](int32_t index) {
  return const_cast<Variant&>(std::as_const(*this)[index]);
}

}  // namespace kx4
