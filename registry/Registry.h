// The registry of this platform: keys and typed values kept in REGEDIT4 text
// hives, reached through calls shaped like the classic Reg* functions so that
// code written against them keeps its buffer-size and result-code logic.
//
// Roots and their hive files:
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/kestrix/user.reg (~/.config/kestrix)
//   HKEY_LOCAL_MACHINE  /etc/kestrix/system.reg
//   HKEY_CLASSES_ROOT   HKEY_LOCAL_MACHINE\Software\Classes
// $KX4_HIVE_DIR, when set, holds both files instead.
//
// Every call reads the hive file afresh under a shared lock; every change
// rewrites it atomically under an exclusive lock (see HiveFile.h).  A key
// handle therefore holds no file and no snapshot: it names a key, and a call
// on a key that has since been deleted fails with ERROR_KEY_DELETED.
#ifndef KX4DATA_REGISTRY_REGISTRY_H_
#define KX4DATA_REGISTRY_REGISTRY_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx4::registry {

using HKEY = uint32_t;  // a predefined root
using REGSAM = uint32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

// Access rights a key is opened with; each call checks the right it needs.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM DELETE = 0x10000;

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr uint32_t REG_LINK = 6;
inline constexpr uint32_t REG_MULTI_SZ = 7;

// Result codes (the classic system error numbers).
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_FILE_NOT_FOUND = 2;  // no such key or value
inline constexpr int32_t ERROR_ACCESS_DENIED = 5;   // hive not readable/writable, right missing
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;  // not a root, or a closed key
inline constexpr int32_t ERROR_OUTOFMEMORY = 14;
inline constexpr int32_t ERROR_INVALID_PARAMETER =
    87;  // bad name: too long, control characters, not UTF-8
inline constexpr int32_t ERROR_DISK_FULL = 112;
inline constexpr int32_t ERROR_BAD_PATHNAME = 161;  // empty path component
inline constexpr int32_t ERROR_MORE_DATA = 234;
inline constexpr int32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr int32_t ERROR_BADDB = 1009;  // hive file cannot be parsed
inline constexpr int32_t ERROR_CANTOPEN = 1011;
inline constexpr int32_t ERROR_CANTREAD = 1012;
inline constexpr int32_t ERROR_CANTWRITE = 1013;
inline constexpr int32_t ERROR_KEY_DELETED = 1018;

inline constexpr size_t kMaxKeyNameLength = 255;      // bytes of one path component
inline constexpr size_t kMaxValueNameLength = 16383;  // bytes

// An open key.  Copyable; closing only forgets it.
class Key {
 public:
  Key() = default;
  bool IsOpen() const { return root_ != 0; }
  HKEY Root() const { return root_; }
  REGSAM Access() const { return access_; }
  // Components below the root as the caller spelled them.
  const std::vector<std::string>& Path() const { return path_; }

 private:
  friend class KeyAccess;
  HKEY root_ = 0;
  REGSAM access_ = 0;
  std::vector<std::string> path_;
};

// `sub_key` is a path below `root` with "\" between components; "" is the
// root itself and one trailing "\" is ignored.
int32_t OpenKey(HKEY root, std::string_view sub_key, REGSAM access, Key& result);
// Opens the key, creating it and its missing parents.  `created`, when
// given, tells whether the key was new.
int32_t CreateKey(HKEY root, std::string_view sub_key, REGSAM access, Key& result,
                  bool* created = nullptr);
void CloseKey(Key& key);

// The value `name` ("" is the default value).  `type` and `size` may be null.
// With `data` null only the type and the size are reported.  Otherwise
// `*size` is the capacity of `data`: a smaller capacity than the value needs
// gives ERROR_MORE_DATA with `*size` set to the size needed.
int32_t QueryValue(const Key& key, std::string_view name, uint32_t* type, uint8_t* data,
                   uint32_t* size);
// Creates or replaces the value.  Texts (REG_SZ, REG_EXPAND_SZ) are stored
// with a terminating zero byte, added when `data` lacks it.
int32_t SetValue(const Key& key, std::string_view name, uint32_t type, const uint8_t* data,
                 uint32_t size);
int32_t DeleteValue(const Key& key, std::string_view name);
// Removes `sub_key` of `key` ("" is `key` itself) with all its subkeys and
// values.  A root cannot be deleted (ERROR_ACCESS_DENIED).
int32_t DeleteTree(const Key& key, std::string_view sub_key);

// Value number `index` in stored order.  `*name_size` is the capacity of
// `name` in bytes and must leave room for a terminating zero; on success it
// becomes the length of the name without it.
int32_t EnumValue(const Key& key, uint32_t index, char* name, uint32_t* name_size,
                  uint32_t* type = nullptr);
// Subkey number `index` in stored order, zero-terminated into `name` of
// `name_size` bytes.
int32_t EnumKey(const Key& key, uint32_t index, char* name, uint32_t name_size);

struct KeyInfo {
  uint32_t subkeys = 0;
  uint32_t max_subkey_name_length = 0;  // bytes, without terminator
  uint32_t values = 0;
  uint32_t max_value_name_length = 0;  // bytes, without terminator
  uint32_t max_value_data_size = 0;
};
int32_t QueryInfoKey(const Key& key, KeyInfo& info);

// The text of a result code, ending in CR LF as system messages do; the
// empty text for a code this platform has no text for.
std::string FormatMessage(int32_t code);

// `text` with every %NAME% replaced by the environment variable NAME (found
// case-insensitively when there is no exact match); references to unknown
// names stay as they are.
std::string ExpandEnvironmentStrings(std::string_view text);

// Parses the hive file of `root` without changing anything: ERROR_SUCCESS,
// or the code a call would meet, with `detail` naming the file, the line and
// what is wrong there.
int32_t VerifyHive(HKEY root, std::string* detail = nullptr);

// Path of the hive file that holds `root` (the empty text for other roots).
std::string HivePath(HKEY root);

}  // namespace kx4::registry

#endif  // KX4DATA_REGISTRY_REGISTRY_H_
