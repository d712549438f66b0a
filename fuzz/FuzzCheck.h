// What the fuzz targets share: a check that aborts with its reason (libFuzzer
// keeps the input as a crash), and the input cut into pieces.
#ifndef KX4DATA_FUZZ_FUZZCHECK_H_
#define KX4DATA_FUZZ_FUZZCHECK_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kx4::fuzz {

[[noreturn]] inline void Fail(const std::string& reason) {
  std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", reason.c_str());
  std::abort();
}

inline void Check(bool condition, const std::string& reason) {
  if (!condition)
    Fail(reason);
}

// The input as text.
inline std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at every 0xFF byte, which UTF-8 never holds, so each piece
// may still be any text, valid or not.
inline std::vector<std::string> Pieces(std::string_view input) {
  std::vector<std::string> pieces(1);
  for (char c : input) {
    if (static_cast<unsigned char>(c) == 0xFF)
      pieces.emplace_back();
    else
      pieces.back() += c;
  }
  return pieces;
}

// A text as C++ would write it, for failure messages.
inline std::string Shown(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace kx4::fuzz

#endif  // KX4DATA_FUZZ_FUZZCHECK_H_
