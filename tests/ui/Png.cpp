#include "ui/Png.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>

namespace kx4::test {
namespace {

uint32_t Crc32(const std::string& bytes, size_t from) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i)
    c = table[(c ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void Put32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out += type;
  out += data;
  Put32(out, Crc32(out, start));
}

uint32_t Colour(const Image& image, size_t pixel) {
  const uint8_t* p = &image.rgb[pixel * 3];
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

std::map<uint32_t, size_t> Histogram(const Image& image) {
  std::map<uint32_t, size_t> counts;
  for (size_t i = 0; i < image.rgb.size() / 3; ++i)
    ++counts[Colour(image, i)];
  return counts;
}

}  // namespace

std::string EncodePng(const Image& image) {
  // Each row starts with filter type 0.
  std::string raw;
  const size_t row = static_cast<size_t>(image.width) * 3;
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(&image.rgb[y * row]), row);
  }
  // zlib stream of stored blocks, at most 65535 bytes each.
  std::string z = "\x78\x01";
  for (size_t at = 0; at < raw.size() || at == 0;) {
    const size_t n = std::min<size_t>(65535, raw.size() - at);
    const bool last = at + n == raw.size();
    z += static_cast<char>(last ? 1 : 0);
    z += static_cast<char>(n & 0xFF);
    z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF);
    z += static_cast<char>((~n >> 8) & 0xFF);
    z.append(raw, at, n);
    at += n;
    if (last)
      break;
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, (b << 16) | a);

  std::string header;
  Put32(header, static_cast<uint32_t>(image.width));
  Put32(header, static_cast<uint32_t>(image.height));
  header += "\x08\x02";            // 8 bits, RGB
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  return png;
}

bool WritePng(const Image& image, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << EncodePng(image);
  return static_cast<bool>(out);
}

double ForegroundShare(const Image& image) {
  const size_t pixels = image.rgb.size() / 3;
  if (pixels == 0)
    return 0;
  size_t most = 0;
  for (const auto& [colour, count] : Histogram(image))
    most = std::max(most, count);
  return static_cast<double>(pixels - most) / static_cast<double>(pixels);
}

size_t ColourCount(const Image& image) {
  return Histogram(image).size();
}

}  // namespace kx4::test
