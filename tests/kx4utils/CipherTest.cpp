#include <kx4utils/kx4utils.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kCapacity = 256;
// u"4711" under "key one": HKDF-SHA-256 key, AES-256-SIV of the UTF-16LE
// units, tag first; checked against an independent AES-SIV implementation.
constexpr char kPinnedCipherText[] = "Ec3j/naYRctW1JOKHEMAxYsCnsHEEOgO";

// Buffers sized exactly to their capacity on the heap, so that any write past
// the end is caught by the address sanitizer.
struct Encrypted {
  int32_t result;
  std::string text;
};

Encrypted Encrypt(const std::u16string& plain, const char* key, int32_t capacity = kCapacity) {
  std::vector<char> out(static_cast<size_t>(capacity), '*');
  int32_t length = capacity;
  int32_t result = EncryptToBase64(plain.data(), static_cast<int32_t>(plain.size() * 2), key,
                                   out.data(), &length);
  if (result == 0) {
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](char c) { return c == '*'; }))
        << "a refused call wrote into the buffer";
    return {0, {}};
  }
  EXPECT_GE(length, 0);
  EXPECT_LE(length, capacity);
  if (length < capacity) {
    EXPECT_EQ(out[static_cast<size_t>(length)], '\0');
  }
  return {result, std::string(out.data(), static_cast<size_t>(length))};
}

struct Decrypted {
  int32_t result;
  std::u16string text;
};

Decrypted Decrypt(const std::string& base64, const char* key, int32_t capacity = kCapacity) {
  std::vector<char16_t> out(static_cast<size_t>(capacity), u'*');
  int32_t length = capacity;
  int32_t result = DecryptFromBase64(base64.c_str(), key, out.data(), &length);
  if (result == 0) {
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](char16_t c) { return c == u'*'; }))
        << "a refused call wrote into the buffer";
    return {0, {}};
  }
  EXPECT_GE(length, 0);
  EXPECT_LE(length, capacity);
  return {result, std::u16string(out.data(), static_cast<size_t>(length))};
}

bool IsBase64(const std::string& text) {
  return !text.empty() && text.size() % 4 == 0 &&
         text.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") ==
             std::string::npos;
}

TEST(Cipher, RoundTripsAsciiAccentedAndCjkText) {
  const std::u16string texts[] = {
      u"1234",       u"s3cret P@ss word!",  u"Müller-Lüdenscheidt àéîõü",
      u"打印机密码", u"\U0001F5A8 printer", u"x"};
  for (const auto& text : texts) {
    Encrypted sealed = Encrypt(text, "pass phrase");
    ASSERT_NE(sealed.result, 0);
    EXPECT_TRUE(IsBase64(sealed.text)) << sealed.text;
    Decrypted opened = Decrypt(sealed.text, "pass phrase");
    ASSERT_NE(opened.result, 0);
    EXPECT_EQ(opened.text, text);
  }
}

TEST(Cipher, IsDeterministicPerTextAndKey) {
  Encrypted first = Encrypt(u"4711", "key one");
  EXPECT_EQ(Encrypt(u"4711", "key one").text, first.text);
  EXPECT_NE(Encrypt(u"4712", "key one").text, first.text);
  EXPECT_NE(Encrypt(u"4711", "key two").text, first.text);
  // Stored PIN codes and passwords are looked up by this text: it must never
  // change between releases.
  EXPECT_EQ(first.text, kPinnedCipherText);
}

TEST(Cipher, RefusesTheWrongKey) {
  Encrypted sealed = Encrypt(u"4711", "key one");
  EXPECT_EQ(Decrypt(sealed.text, "key two").result, 0);
  EXPECT_EQ(Decrypt(sealed.text, "").result, 0);
}

TEST(Cipher, EmptyPassPhraseIsAKeyLikeAnyOther) {
  Encrypted sealed = Encrypt(u"4711", "");
  ASSERT_NE(sealed.result, 0);
  EXPECT_EQ(Decrypt(sealed.text, "").text, u"4711");
  EXPECT_EQ(Decrypt(sealed.text, "x").result, 0);
}

TEST(Cipher, RefusesEveryAlteredCharacter) {
  Encrypted sealed = Encrypt(u"PIN 0042", "k");
  ASSERT_NE(sealed.result, 0);
  for (size_t i = 0; i < sealed.text.size(); ++i) {
    if (sealed.text[i] == '=')
      continue;
    std::string altered = sealed.text;
    altered[i] = altered[i] == 'A' ? 'B' : 'A';
    EXPECT_EQ(Decrypt(altered, "k").result, 0) << "position " << i;
  }
  // Cut short or lengthened by a whole group.
  EXPECT_EQ(Decrypt(sealed.text.substr(0, sealed.text.size() - 4), "k").result, 0);
  EXPECT_EQ(Decrypt(sealed.text + "AAAA", "k").result, 0);
}

TEST(Cipher, RefusesTextThatIsNotCanonicalBase64) {
  Encrypted sealed = Encrypt(u"ab", "k");  // 20 bytes: ends in one '='
  ASSERT_EQ(sealed.text.back(), '=');
  std::string unpadded = sealed.text.substr(0, sealed.text.size() - 1);
  std::string spaced = sealed.text.substr(0, 4) + " " + sealed.text.substr(4);
  for (const std::string& text :
       {std::string(), std::string("===="), std::string("abc"), std::string("AAAA"), unpadded,
        spaced, sealed.text + "\n", std::string("A===") + sealed.text}) {
    EXPECT_EQ(Decrypt(text, "k").result, 0) << text;
  }
  for (char foreign : {'-', '_', '.', '\x80'}) {  // URL-safe digits, junk, high bytes
    std::string altered = sealed.text;
    altered[0] = foreign;
    EXPECT_EQ(Decrypt(altered, "k").result, 0) << foreign;
  }
  // Spare bits set in the last digit before the padding.
  std::string spare = sealed.text;
  size_t last = spare.size() - 2;
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  spare[last] = alphabet[alphabet.find(spare[last]) ^ 1];
  EXPECT_EQ(Decrypt(spare, "k").result, 0);
}

TEST(Cipher, RefusesOutputThatDoesNotFit) {
  // 16 bytes of tag + 2 per unit: 88 units make exactly 256 Base64 characters.
  std::u16string largest(88, u'x');
  Encrypted fits = Encrypt(largest, "k");
  ASSERT_NE(fits.result, 0);
  EXPECT_EQ(fits.text.size(), 256u);
  EXPECT_EQ(Encrypt(largest + u'x', "k").result, 0);
  EXPECT_EQ(Encrypt(std::u16string(100000, u'x'), "k").result, 0);
  EXPECT_EQ(Encrypt(u"1234", "k", 31).result, 0);
  EXPECT_NE(Encrypt(u"1234", "k", 32).result, 0);  // exactly, without the NUL

  Encrypted pin = Encrypt(u"1234", "k");
  EXPECT_EQ(Decrypt(pin.text, "k", 3).result, 0);
  EXPECT_EQ(Decrypt(pin.text, "k", 4).text, u"1234");
  Decrypted large = Decrypt(fits.text, "k", 88);
  EXPECT_EQ(large.text, largest);
}

TEST(Cipher, RefusesNullNegativeAndPartialArguments) {
  char out[kCapacity];
  char16_t units[kCapacity];
  int32_t length = kCapacity;
  const char16_t text[] = u"1234";
  EXPECT_EQ(EncryptToBase64(nullptr, 8, "k", out, &length), 0);
  EXPECT_EQ(EncryptToBase64(text, 8, nullptr, out, &length), 0);
  EXPECT_EQ(EncryptToBase64(text, 8, "k", nullptr, &length), 0);
  EXPECT_EQ(EncryptToBase64(text, 8, "k", out, nullptr), 0);
  EXPECT_EQ(EncryptToBase64(text, -8, "k", out, &length), 0);
  EXPECT_EQ(EncryptToBase64(text, 7, "k", out, &length), 0);  // half a code unit
  EXPECT_EQ(EncryptToBase64(text, 0, "k", out, &length), 0);  // nothing to encipher
  length = -1;
  EXPECT_EQ(EncryptToBase64(text, 8, "k", out, &length), 0);
  EXPECT_EQ(length, -1);

  length = kCapacity;
  ASSERT_NE(EncryptToBase64(text, 8, "k", out, &length), 0);
  std::string base64(out, static_cast<size_t>(length));
  length = kCapacity;
  EXPECT_EQ(DecryptFromBase64(nullptr, "k", units, &length), 0);
  EXPECT_EQ(DecryptFromBase64(base64.c_str(), nullptr, units, &length), 0);
  EXPECT_EQ(DecryptFromBase64(base64.c_str(), "k", nullptr, &length), 0);
  EXPECT_EQ(DecryptFromBase64(base64.c_str(), "k", units, nullptr), 0);
  length = -1;
  EXPECT_EQ(DecryptFromBase64(base64.c_str(), "k", units, &length), 0);
  EXPECT_EQ(length, -1);
}

}  // namespace
