// Text helpers with the classic string semantics the library relies on.
// Text is UTF-8; case mapping and lengths work on characters, not bytes.
#ifndef KX4DATA_SESSION_TEXT_H_
#define KX4DATA_SESSION_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kx4 {

// Removes leading and trailing spaces (blanks only, as Trim does).
std::string TrimSpaces(std::string_view text);
// Upper and lower case of every character, locale-independent.
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);
// Number of characters (code points); invalid bytes count one each.
size_t CharLength(std::string_view text);
// The first or last `count` characters (the whole text when it is shorter).
std::string LeftChars(std::string_view text, size_t count);
std::string RightChars(std::string_view text, size_t count);

}  // namespace kx4

#endif  // KX4DATA_SESSION_TEXT_H_
