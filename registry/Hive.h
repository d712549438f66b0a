// One hive in memory and its REGEDIT4 text form.
//
// The text is what regedit writes, UTF-8 throughout:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Kestrix 4.0]
//   "SQLServer"="SRV1"            REG_SZ; only \\ and \" are escapes
//   @="default value"             the unnamed value
//   "Flags"=dword:0000000f        REG_DWORD of four bytes
//   "Blob"=hex:01,02,ff           REG_BINARY
//   "Path"=hex(2):25,54,00        REG_EXPAND_SZ: UTF-8 bytes with the zero
//   "List"=hex(7):61,00,62,00,00  REG_MULTI_SZ: zero-terminated UTF-8 texts
//   "Odd"=hex(b):...              any other type, its number in hex
//
// Hex data may continue on the next line after a trailing "\".  Lines may end
// in CR LF; blank lines and lines starting with ";" are ignored.  A key that
// appears twice is merged, a value that appears twice keeps the last data.
// Texts that cannot be written in quotes (control characters, invalid UTF-8,
// zero bytes inside) are written as hex(1).
#ifndef KX4DATA_REGISTRY_HIVE_H_
#define KX4DATA_REGISTRY_HIVE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx4::registry {

// Key and value names compare by this form: UTF-8 with ASCII, Latin-1,
// Greek and Cyrillic letters folded to lower case; other bytes as they are.
std::string FoldName(std::string_view name);
bool NamesEqual(std::string_view a, std::string_view b);
// Valid UTF-8 without control characters (tab allowed): what a name, or a
// text written between quotes, may hold.
bool IsPrintableUtf8(std::string_view s);

struct HiveValue {
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

class HiveKey {
 public:
  explicit HiveKey(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  const std::vector<HiveValue>& Values() const { return values_; }
  const HiveValue* FindValue(std::string_view name) const;
  // Replaces the data and type of an existing value (keeping its spelling
  // and place) or appends a new one.
  void PutValue(std::string_view name, uint32_t type, std::vector<uint8_t> data);
  bool RemoveValue(std::string_view name);

  const std::vector<std::unique_ptr<HiveKey>>& Subkeys() const { return subkeys_; }
  HiveKey* FindSubkey(std::string_view name) const;
  HiveKey& AddSubkey(std::string_view name, bool* created = nullptr);
  bool RemoveSubkey(std::string_view name);

 private:
  std::string name_;
  std::vector<HiveValue> values_;
  std::unordered_map<std::string, size_t> value_index_;  // folded name -> position
  std::vector<std::unique_ptr<HiveKey>> subkeys_;
  std::unordered_map<std::string, size_t> subkey_index_;
};

enum class HiveKind { kUser, kSystem };

struct ParseError {
  int line = 0;  // 1-based
  std::string reason;
};

class Hive {
 public:
  explicit Hive(HiveKind kind);

  HiveKind Kind() const { return kind_; }
  HiveKey& Root() { return *root_; }
  const HiveKey& Root() const { return *root_; }

  // The key at `path` below the root, or null.
  HiveKey* Find(const std::vector<std::string>& path) const;

  // Reads REGEDIT4 text into an empty hive; false with `error` filled when
  // the text is not a hive of this kind.  Empty text is an empty hive.
  bool Parse(std::string_view text, ParseError* error);
  std::string Serialize() const;

 private:
  HiveKind kind_;
  std::unique_ptr<HiveKey> root_;
};

// Name of the root section of a hive kind ("HKEY_CURRENT_USER", ...).
const char* RootName(HiveKind kind);

}  // namespace kx4::registry

#endif  // KX4DATA_REGISTRY_HIVE_H_
