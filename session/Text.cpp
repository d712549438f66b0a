#include "session/Text.h"

#include "variant/Utf8.h"

namespace kx4 {

std::string TrimSpaces(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos)
    return {};
  size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

std::string UCase(std::string_view text) {
  return UpperText(text);
}

std::string LCase(std::string_view text) {
  return LowerText(text);
}

size_t CharLength(std::string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++n)
    NextChar(text, i);
  return n;
}

std::string LeftChars(std::string_view text, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < text.size(); ++n)
    NextChar(text, i);
  return std::string(text.substr(0, i));
}

std::string RightChars(std::string_view text, size_t count) {
  const size_t length = CharLength(text);
  if (length <= count)
    return std::string(text);
  size_t i = 0;
  for (size_t n = 0; n < length - count; ++n)
    NextChar(text, i);
  return std::string(text.substr(i));
}

}  // namespace kx4
