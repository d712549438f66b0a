// The product's cipher library: deterministic, authenticated enciphering of
// short UTF-16 texts into Base64, keyed by a pass phrase.
#ifndef KX4UTILS_KX4UTILS_H_
#define KX4UTILS_KX4UTILS_H_

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define KX4UTILS_API __attribute__((visibility("default")))

// Enciphers `dataBytes` bytes of UTF-16 code units at `data` with `key` into
// standard Base64 in `out`.  *outLen: in = capacity of `out` in characters,
// out = Base64 characters written (a NUL follows when it fits).  The same text
// and key always give the same Base64 text.  Returns non-zero on success; 0
// (and `out` untouched) when the result does not fit, the text is empty or
// not whole code units, or an argument is null or negative.
KX4UTILS_API int32_t EncryptToBase64(const void* data, int32_t dataBytes, const char* key,
                                     char* out, int32_t* outLen);

// Deciphers the NUL-terminated Base64 text `base64` with `key` into UTF-16
// code units at `out`.  *outLen: in = capacity of `out` in code units, out =
// code units written.  Returns non-zero on success; 0 (and `out` untouched)
// when the text is not canonical Base64, was not enciphered with this key or
// was altered, the result does not fit, or an argument is null or negative.
KX4UTILS_API int32_t DecryptFromBase64(const char* base64, const char* key, char16_t* out,
                                       int32_t* outLen);

#ifdef __cplusplus
}
#endif

#endif  // KX4UTILS_KX4UTILS_H_
