// The cipher library's Base64 input: any text, key and buffer size is either
// refused or deciphers into text that enciphers back into the very same
// Base64; and any text enciphers into Base64 that deciphers back.
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "kx4utils/kx4utils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kx4::fuzz::Check;
  using kx4::fuzz::Shown;
  const std::vector<std::string> pieces = kx4::fuzz::Pieces(kx4::fuzz::Text(data, size));
  const std::string key = pieces[0];
  const std::string text = pieces.size() > 1 ? pieces[1] : "";
  // The caller's buffer: its size is part of the input, and exactly that
  // many units are there to write.
  const int32_t capacity =
      pieces.size() > 2 && !pieces[2].empty() ? static_cast<unsigned char>(pieces[2][0]) : 256;

  std::vector<char16_t> plain(static_cast<size_t>(capacity));
  int32_t length = capacity;
  if (DecryptFromBase64(text.c_str(), key.c_str(), plain.data(), &length) != 0) {
    Check(length >= 0 && length <= capacity, "deciphered length out of the buffer");
    std::string again(512, '\0');
    int32_t again_length = static_cast<int32_t>(again.size());
    Check(EncryptToBase64(plain.data(), length * 2, key.c_str(), again.data(), &again_length) != 0,
          "deciphered text does not encipher again");
    again.resize(static_cast<size_t>(again_length));
    Check(again == text.substr(0, text.find('\0')),
          "Base64 " + Shown(text) + " deciphers and enciphers into " + Shown(again));
  }

  // Enciphering the raw input as code units, into a buffer of the given size.
  std::vector<char16_t> units(text.size() / 2);
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(text[2 * i]) |
                                     static_cast<unsigned char>(text[2 * i + 1]) << 8);
  std::vector<char> sealed(static_cast<size_t>(capacity));
  int32_t sealed_length = capacity;
  if (EncryptToBase64(units.data(), static_cast<int32_t>(units.size() * 2), key.c_str(),
                      sealed.data(), &sealed_length) != 0) {
    Check(sealed_length >= 0 && sealed_length <= capacity, "enciphered length out of the buffer");
    const std::string base64(sealed.data(), static_cast<size_t>(sealed_length));
    std::vector<char16_t> back(units.size() + 1);
    int32_t back_length = static_cast<int32_t>(back.size());
    Check(DecryptFromBase64(base64.c_str(), key.c_str(), back.data(), &back_length) != 0,
          "enciphered text " + Shown(base64) + " does not decipher");
    Check(std::u16string(back.data(), static_cast<size_t>(back_length)) ==
              std::u16string(units.begin(), units.end()),
          "enciphered text deciphers into something else");
  }
  return 0;
}
