#include "global/ListFilters.h"

#include <charconv>
#include <cstdint>

#include <kx4data/RuntimeError.h>

#include "session/Common.h"
#include "session/Text.h"

namespace kx4 {

std::string ActivityCondition(const Variant& element) {
  if (!element.IsNumeric())
    return {};
  const double value = element.ToDouble();
  if (value == 1)
    return "Active = 1 AND ";
  if (value == 2)
    return "Active = 0 AND ";
  return {};
}

std::string UpperPattern(const Variant& element) {
  return UCase(QuoteSQL(element.ToString(), true));
}

std::string LowerPattern(const Variant& element) {
  return LCase(QuoteSQL(element.ToString(), true));
}

std::string KeyText(const Variant& element) {
  const std::string text = element.ToString();
  int32_t key = 0;
  const char* end = text.data() + text.size();
  // from_chars takes no sign but "-" and no blanks, exactly the form wanted.
  const auto [stop, error] = std::from_chars(text.data(), end, key);
  if (text.empty() || error != std::errc() || stop != end) {
    throw RuntimeError(
        kErrTypeMismatch,
        "Type mismatch: a key filter must be a whole 32-bit number, not \"" + text + "\"");
  }
  return std::to_string(key);
}

}  // namespace kx4
