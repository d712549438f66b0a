// Conversions at the boundary of the cipher library, which speaks UTF-16.
// Text is UTF-8 everywhere else in the library.
#ifndef KX4DATA_SESSION_UTF16_H_
#define KX4DATA_SESSION_UTF16_H_

#include <optional>
#include <string>
#include <string_view>

namespace kx4 {

// Nothing when `text` is not well-formed UTF-8 (overlong forms, surrogates
// and values above U+10FFFF included): a replaced character would encipher a
// different secret than the caller gave.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);
// Nothing when `text` holds an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

}  // namespace kx4

#endif  // KX4DATA_SESSION_UTF16_H_
