#include "variant/Utf8.h"

namespace kx4 {
namespace {

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

template <typename Map>
std::string MapText(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  if (IsAscii(text)) {
    for (char c : text)
      out += static_cast<char>(map(static_cast<unsigned char>(c)));
    return out;
  }
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    if (DecodeUtf8(text, i, cp)) {
      AppendUtf8(map(cp), out);
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

bool DecodeUtf8(std::string_view s, size_t& i, char32_t& cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
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
  char32_t v = c & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80)
      return false;
    v = (v << 6) | (cc & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (v < kLeast[extra] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
    return false;
  cp = v;
  i += extra + 1;
  return true;
}

char32_t NextChar(std::string_view s, size_t& i) {
  char32_t cp;
  if (DecodeUtf8(s, i, cp))
    return cp;
  return static_cast<unsigned char>(s[i++]);
}

void AppendUtf8(char32_t cp, std::string& out) {
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

char32_t UpperChar(char32_t c) {
  if (c < 0x80)
    return c >= 'a' && c <= 'z' ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
    return c - 32;
  if (c == 0xFF)
    return 0x178;
  if (c == 0xB5)
    return 0x39C;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x131)
      return 'I';
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
      return (c & 1) == 0 ? c - 1 : c;
    if (c == 0x17F)
      return 'S';
    if (c == 0x130 || c == 0x138 || c == 0x149)
      return c;
    return (c & 1) == 1 ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
    return c - 32;
  if (c == 0x3C2)
    return 0x3A3;
  if (c >= 0x3AC && c <= 0x3CE) {
    switch (c) {
      case 0x3AC:
        return 0x386;
      case 0x3AD:
        return 0x388;
      case 0x3AE:
        return 0x389;
      case 0x3AF:
        return 0x38A;
      case 0x3CC:
        return 0x38C;
      case 0x3CD:
        return 0x38E;
      case 0x3CE:
        return 0x38F;
      default:
        break;
    }
  }
  if (c >= 0x430 && c <= 0x44F)
    return c - 32;
  if (c >= 0x450 && c <= 0x45F)
    return c - 80;
  // Palochka's small form stands at the end of the block it heads, and the
  // pairs between them start on an odd code point.
  if (c == 0x4CF)
    return 0x4C0;
  if (c >= 0x4C1 && c <= 0x4CE)
    return (c & 1) == 0 ? c - 1 : c;
  if (c >= 0x460 && c <= 0x4FF && c != 0x482 && !(c >= 0x483 && c <= 0x489))
    return (c & 1) == 1 ? c - 1 : c;
  return c;
}

char32_t LowerChar(char32_t c) {
  if (c < 0x80)
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
    return c + 32;
  if (c == 0x178)
    return 0xFF;
  if (c >= 0x100 && c <= 0x17F) {
    if (c == 0x130)
      return 'i';
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
      return (c & 1) == 1 ? c + 1 : c;
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
      return c;
    return (c & 1) == 0 ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
    return c + 32;
  switch (c) {
    case 0x386:
      return 0x3AC;
    case 0x388:
      return 0x3AD;
    case 0x389:
      return 0x3AE;
    case 0x38A:
      return 0x3AF;
    case 0x38C:
      return 0x3CC;
    case 0x38E:
      return 0x3CD;
    case 0x38F:
      return 0x3CE;
    default:
      break;
  }
  if (c >= 0x410 && c <= 0x42F)
    return c + 32;
  if (c >= 0x400 && c <= 0x40F)
    return c + 80;
  if (c == 0x4C0)
    return 0x4CF;
  if (c >= 0x4C1 && c <= 0x4CE)
    return (c & 1) == 1 ? c + 1 : c;
  if (c >= 0x460 && c <= 0x4FF && c != 0x482 && !(c >= 0x483 && c <= 0x489))
    return (c & 1) == 0 ? c + 1 : c;
  return c;
}

std::string UpperText(std::string_view text) {
  return MapText(text, UpperChar);
}

std::string LowerText(std::string_view text) {
  return MapText(text, LowerChar);
}

namespace {

bool IsWhitespace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

char AsciiLowerChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

}  // namespace

std::string_view TrimWhitespace(std::string_view text) {
  while (!text.empty() && IsWhitespace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsWhitespace(text.back()))
    text.remove_suffix(1);
  return text;
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
      return false;
  }
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = AsciiLowerChar(c);
  return out;
}

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    out += c;
    if (c == quote)
      out += quote;
  }
  out += quote;
  return out;
}

}  // namespace kx4
