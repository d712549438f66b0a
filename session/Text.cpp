#include "session/Text.h"

#include <locale.h>
#include <wctype.h>

namespace kx4 {
namespace {

// C.UTF-8 is built into glibc, so case mapping never depends on which locales
// a machine has installed or on the host's setlocale.
locale_t Utf8Locale() {
  static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

// Decodes the code point at `i` and moves past it; an invalid or truncated
// sequence returns false and leaves `i` where it was.
bool Decode(std::string_view s, size_t& i, char32_t& cp) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t extra;
  if (c < 0x80) {
    cp = c;
    ++i;
    return true;
  } else if ((c & 0xE0) == 0xC0) {
    extra = 1;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
  } else {
    return false;
  }
  if (s.size() - i <= extra)
    return false;
  cp = c & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80)
      return false;
    cp = (cp << 6) | (cc & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return false;
  i += extra + 1;
  return true;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

template <typename Map>
std::string MapCase(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {  // the common case, without the locale
      out += static_cast<char>(map(c, true));
      ++i;
      continue;
    }
    char32_t cp;
    if (!Decode(text, i, cp)) {
      out += text[i++];  // invalid bytes pass through unchanged
      continue;
    }
    Encode(map(cp, false), out);
  }
  return out;
}

}  // namespace

std::string TrimSpaces(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos)
    return {};
  size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

std::string UCase(std::string_view text) {
  return MapCase(text, [](char32_t c, bool ascii) -> char32_t {
    if (ascii)
      return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), Utf8Locale()));
  });
}

std::string LCase(std::string_view text) {
  return MapCase(text, [](char32_t c, bool ascii) -> char32_t {
    if (ascii)
      return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), Utf8Locale()));
  });
}

size_t CharLength(std::string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++n) {
    char32_t cp;
    if (!Decode(text, i, cp))
      ++i;
  }
  return n;
}

}  // namespace kx4
