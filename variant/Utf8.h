// UTF-8 decoding and encoding and the library's one case mapping.  Every
// layer that compares or upper-cases text uses these, so that a port
// upper-cased by a record class matches what the engine's UPPER() gives.
#ifndef KX4DATA_VARIANT_UTF8_H_
#define KX4DATA_VARIANT_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kx4 {

// Decodes the well-formed, shortest-form sequence at `s[i]` and moves past
// it; returns false and leaves `i` alone for anything else.
bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp);
// The character at `s[i]`, moving past it; a malformed byte stands for itself.
char32_t NextChar(std::string_view s, size_t& i);
void AppendUtf8(char32_t cp, std::string& out);

// Simple case mapping of one character (Latin, Greek, Cyrillic).  The tables
// are fixed, never the locale's, so an index built by one process sorts the
// same in every other.
char32_t UpperChar(char32_t c);
char32_t LowerChar(char32_t c);
// Whole texts; malformed bytes pass through unchanged.
std::string UpperText(std::string_view text);
std::string LowerText(std::string_view text);

// Locale-free ASCII helpers for keywords, names and numbers in text the
// library parses (connection strings, statements, boolean words).
std::string_view TrimWhitespace(std::string_view text);  // " \t\n\v\f\r"
bool EqualsAsciiNoCase(std::string_view a, std::string_view b);
std::string AsciiLower(std::string_view text);
// `text` between two `quote`s, each `quote` in it doubled: how SQL literals
// and names and connection-string values are quoted.
std::string Quoted(std::string_view text, char quote);

}  // namespace kx4

#endif  // KX4DATA_VARIANT_UTF8_H_
