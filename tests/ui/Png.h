// Screenshots as PNG files: 8-bit RGB, uncompressed deflate blocks, so that
// the tests need no image library.
#ifndef KX4DATA_TESTS_UI_PNG_H_
#define KX4DATA_TESTS_UI_PNG_H_

#include <cstdint>
#include <string>
#include <vector>

namespace kx4::test {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // row by row, 3 bytes a pixel
};

// The file's bytes, for writing or for checking.
std::string EncodePng(const Image& image);
bool WritePng(const Image& image, const std::string& path);

// Fraction of the pixels that differ from the most common colour, and the
// number of distinct colours: a blank or single-colour window has 0 and 1.
double ForegroundShare(const Image& image);
size_t ColourCount(const Image& image);

}  // namespace kx4::test

#endif  // KX4DATA_TESTS_UI_PNG_H_
