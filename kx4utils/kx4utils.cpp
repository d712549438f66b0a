// AES-SIV (RFC 5297) without nonce: deterministic, so that a stored PIN code
// can be found by its cipher text, and authenticated, so that altered or
// foreign text is refused instead of deciphering to garbage.  The Base64 text
// is the 16-byte synthetic IV followed by the cipher text of the code units in
// little-endian order, so it does not depend on the host.
#include "kx4utils/kx4utils.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr size_t kTagBytes = 16;
constexpr size_t kKeyBytes = 64;  // two AES-256 keys: S2V and CTR
constexpr char kKeyInfo[] = "kx4utils AES-256-SIV text key";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

using Bytes = std::vector<unsigned char>;

// Wipes the derived key whatever path leaves the call.
struct Key {
  unsigned char bytes[kKeyBytes];
  ~Key() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

// Fetched once; the provider keeps it for the life of the process.
const EVP_CIPHER* Siv() {
  static EVP_CIPHER* const cipher = EVP_CIPHER_fetch(nullptr, "AES-256-SIV", nullptr);
  return cipher;
}

// HKDF-SHA-256 of the pass phrase; the phrases are fixed texts of the callers,
// not user passwords, so no salt or work factor is wanted.
bool DeriveKey(const char* phrase, Key& key) {
  std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)> kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr),
                                                        EVP_KDF_free);
  if (!kdf)
    return false;
  std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)> ctx(EVP_KDF_CTX_new(kdf.get()),
                                                                EVP_KDF_CTX_free);
  if (!ctx)
    return false;
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
                         OSSL_PARAM_construct_octet_string(
                             OSSL_KDF_PARAM_KEY, const_cast<char*>(phrase), std::strlen(phrase)),
                         OSSL_PARAM_construct_octet_string(
                             OSSL_KDF_PARAM_INFO, const_cast<char*>(kKeyInfo), sizeof kKeyInfo - 1),
                         OSSL_PARAM_construct_end()};
  return EVP_KDF_derive(ctx.get(), key.bytes, sizeof key.bytes, params) == 1;
}

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// Tag followed by cipher text.  OpenSSL's SIV needs at least one byte.
std::optional<Bytes> Seal(const Key& key, const Bytes& plain) {
  CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  if (!ctx || !Siv() || plain.empty())
    return std::nullopt;
  Bytes sealed(kTagBytes + plain.size());
  int written = 0;
  int final_written = 0;
  if (EVP_EncryptInit_ex2(ctx.get(), Siv(), key.bytes, nullptr, nullptr) != 1 ||
      EVP_EncryptUpdate(ctx.get(), sealed.data() + kTagBytes, &written, plain.data(),
                        static_cast<int>(plain.size())) != 1 ||
      EVP_EncryptFinal_ex(ctx.get(), sealed.data() + kTagBytes + written, &final_written) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_GET_TAG, kTagBytes, sealed.data()) != 1)
    return std::nullopt;
  return sealed;
}

std::optional<Bytes> Open(const Key& key, const Bytes& sealed) {
  CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  if (!ctx || !Siv() || sealed.size() <= kTagBytes)
    return std::nullopt;
  Bytes plain(sealed.size() - kTagBytes);
  int written = 0;
  int final_written = 0;
  // SIV checks the tag while deciphering; either step may refuse.
  if (EVP_DecryptInit_ex2(ctx.get(), Siv(), key.bytes, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_SET_TAG, kTagBytes,
                          const_cast<unsigned char*>(sealed.data())) != 1 ||
      EVP_DecryptUpdate(ctx.get(), plain.data(), &written, sealed.data() + kTagBytes,
                        static_cast<int>(plain.size())) != 1 ||
      EVP_DecryptFinal_ex(ctx.get(), plain.data() + written, &final_written) != 1) {
    OPENSSL_cleanse(plain.data(), plain.size());
    return std::nullopt;
  }
  return plain;
}

int64_t Base64Length(int64_t bytes) {
  return (bytes + 2) / 3 * 4;
}

std::string EncodeBase64(const Bytes& bytes) {
  std::string text;
  text.reserve(static_cast<size_t>(Base64Length(static_cast<int64_t>(bytes.size()))));
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6)
      text += kAlphabet[(group >> shift) & 63];
  }
  size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t group = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    text += rest == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

int SextetOf(char c) {
  const char* found = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
  return found ? static_cast<int>(found - kAlphabet) : -1;
}

// Only the canonical form is accepted (padding required, no white space, zero
// spare bits), so one plain text has exactly one accepted cipher text.
std::optional<Bytes> DecodeBase64(const char* text, size_t length) {
  if (length == 0 || length % 4 != 0)
    return std::nullopt;
  size_t padding = text[length - 1] == '=' ? (text[length - 2] == '=' ? 2 : 1) : 0;
  Bytes bytes;
  bytes.reserve(length / 4 * 3);
  for (size_t i = 0; i < length; i += 4) {
    bool last = i + 4 == length;
    size_t digits = last ? 4 - padding : 4;
    uint32_t group = 0;
    for (size_t j = 0; j < 4; ++j) {
      int sextet = j < digits ? SextetOf(text[i + j]) : 0;
      if (sextet < 0)
        return std::nullopt;
      group = group << 6 | static_cast<uint32_t>(sextet);
    }
    if ((digits == 2 && (group & 0xFFFF) != 0) || (digits == 3 && (group & 0xFF) != 0))
      return std::nullopt;
    bytes.push_back(static_cast<unsigned char>(group >> 16));
    if (digits > 2)
      bytes.push_back(static_cast<unsigned char>(group >> 8));
    if (digits > 3)
      bytes.push_back(static_cast<unsigned char>(group));
  }
  return bytes;
}

}  // namespace

extern "C" int32_t EncryptToBase64(const void* data, int32_t dataBytes, const char* key, char* out,
                                   int32_t* outLen) {
  if (!data || !key || !out || !outLen || dataBytes <= 0 || dataBytes % 2 != 0 || *outLen < 0)
    return 0;
  int64_t needed = Base64Length(kTagBytes + static_cast<int64_t>(dataBytes));
  if (needed > *outLen)
    return 0;
  const auto* units = static_cast<const unsigned char*>(data);
  Bytes plain(static_cast<size_t>(dataBytes));
  for (size_t i = 0; i < plain.size(); i += 2) {
    char16_t unit;
    std::memcpy(&unit, units + i, sizeof unit);
    plain[i] = static_cast<unsigned char>(unit & 0xFF);
    plain[i + 1] = static_cast<unsigned char>(unit >> 8);
  }
  Key derived;
  std::optional<Bytes> sealed;
  if (DeriveKey(key, derived))
    sealed = Seal(derived, plain);
  OPENSSL_cleanse(plain.data(), plain.size());
  if (!sealed)
    return 0;
  std::string text = EncodeBase64(*sealed);
  std::memcpy(out, text.data(), text.size());
  if (static_cast<int64_t>(text.size()) < *outLen)
    out[text.size()] = '\0';
  *outLen = static_cast<int32_t>(text.size());
  return 1;
}

extern "C" int32_t DecryptFromBase64(const char* base64, const char* key, char16_t* out,
                                     int32_t* outLen) {
  if (!base64 || !key || !out || !outLen || *outLen < 0)
    return 0;
  std::optional<Bytes> sealed = DecodeBase64(base64, std::strlen(base64));
  if (!sealed || sealed->size() <= kTagBytes || (sealed->size() - kTagBytes) % 2 != 0)
    return 0;
  size_t units = (sealed->size() - kTagBytes) / 2;
  if (units > static_cast<size_t>(*outLen))
    return 0;
  Key derived;
  if (!DeriveKey(key, derived))
    return 0;
  std::optional<Bytes> plain = Open(derived, *sealed);
  if (!plain)
    return 0;
  for (size_t i = 0; i < units; ++i)
    out[i] = static_cast<char16_t>((*plain)[2 * i] | (*plain)[2 * i + 1] << 8);
  OPENSSL_cleanse(plain->data(), plain->size());
  *outLen = static_cast<int32_t>(units);
  return 1;
}
