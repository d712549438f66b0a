// Small text helpers of the session layer.
#ifndef KX4DATA_SESSION_TEXT_H_
#define KX4DATA_SESSION_TEXT_H_

#include <string>
#include <string_view>

namespace kx4 {

// Removes leading and trailing spaces (only spaces, as the classic Trim).
inline std::string TrimSpaces(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos)
    return {};
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

// The number of characters (UTF-8 code points) in `text`.
inline int32_t CharacterCount(std::string_view text) {
  int32_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
      ++count;
  }
  return count;
}

}  // namespace kx4

#endif  // KX4DATA_SESSION_TEXT_H_
