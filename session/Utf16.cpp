#include "session/Utf16.h"

#include "variant/Utf8.h"

namespace kx4 {

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t code;
    if (!DecodeUtf8(text, i, code))
      return std::nullopt;
    if (code >= 0x10000) {
      code -= 0x10000;
      result += static_cast<char16_t>(0xD800 + (code >> 10));
      result += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      result += static_cast<char16_t>(code);
    }
  }
  return result;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
        return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      return std::nullopt;
    }
    AppendUtf8(code, result);
  }
  return result;
}

}  // namespace kx4
