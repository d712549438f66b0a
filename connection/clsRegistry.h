// One registry key and one value in it, for storing and loading settings.
// Registry failures never throw: each operation reports them as a message in
// the optional `pstrError` and through its result.
#ifndef KX4DATA_CONNECTION_CLSREGISTRY_H_
#define KX4DATA_CONNECTION_CLSREGISTRY_H_

#include <cstdint>
#include <string>
#include <vector>

#include <kx4data/Variant.h>

#include "registry/Registry.h"

namespace kx4 {

class clsRegistry {
 public:
  // The type SetValue writes with (REG_SZ and REG_EXPAND_SZ both choose by
  // the text); GetValue sets it to the type it read.
  int32_t ValueType() const { return value_type_; }
  void SetValueType(int32_t venmValueType) { value_type_ = venmValueType; }
  // HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT.
  registry::HKEY ClassKey() const { return class_key_; }
  void SetClassKey(registry::HKEY venmKey) { class_key_ = venmKey; }
  // Path below the root, "\" between components.
  const std::string& SectionKey() const { return section_key_; }
  void SetSectionKey(const std::string& vstrSectionKey) { section_key_ = vstrSectionKey; }
  const std::string& ValueKey() const { return value_key_; }
  void SetValueKey(const std::string& vstrValueKey) { value_key_ = vstrValueKey; }
  // What GetValue returns for a value that is missing in an existing key.
  const Variant& Default() const { return default_; }
  void SetDefault(const Variant& vvntDefault) { default_ = vvntDefault; }

  // pstrError: "" when the key opens, else the message.
  bool KeyExists(std::string* pstrError = nullptr) const;
  // Creates the key and its missing parents; an existing key counts as
  // success.
  bool CreateKey(std::string* pstrError = nullptr) const;
  // Removes the key with all its subkeys and values.  A root key is refused.
  bool DeleteKey(std::string* pstrError = nullptr) const;
  bool DeleteValue(std::string* pstrError = nullptr) const;

  // Texts (REG_SZ, REG_MULTI_SZ) come back with their zero characters
  // dropped and blanks trimmed, REG_EXPAND_SZ expanded from the environment,
  // REG_DWORD and REG_DWORD_BIG_ENDIAN as a Long, anything else as an array
  // of Byte from index 0.  Null when the key cannot be opened (pstrError
  // says why); Default when the value is missing (pstrError untouched).
  Variant GetValue(std::string* pstrError = nullptr);
  // GetValue of value `pstrKey`, with `pvntDefaultValue` instead of Null.
  Variant GetValueOrDefault(const std::string& pstrKey, const Variant& pvntDefaultValue,
                            std::string* pstrError = nullptr);
  // Writes value `pstrValueKey`, creating the key when it is missing.
  bool SetCreateValue(const std::string& pstrValueKey, const Variant& pvntValue,
                      std::string* pstrError = nullptr);
  // Writes ValueKey with ValueType: 1 or 2 the text of the value (REG_EXPAND_SZ
  // when it holds "%", one or more characters and "%" again, else REG_SZ);
  // 3 an array of Byte from index 0; 4 or 5 an Integer or Long as REG_DWORD.
  // A value that has no text (Null, an array) or a byte array that does not
  // start at 0 is a failed call (RuntimeError); nothing is written then.
  bool SetValue(const Variant& vvntValue, std::string* pstrError = nullptr);

  // The value names (subkey names) in stored order; the count is the number
  // of names, and name number k (1-based, as the count reads) is
  // rstrKeyNames[k - 1].  Both are emptied first.
  bool EnumerateValues(std::vector<std::string>& rstrKeyNames, int32_t& rlngKeyCount,
                       std::string* pstrError = nullptr) const;
  bool EnumerateSections(std::vector<std::string>& rstrSections, int32_t& rlngNumSections,
                         std::string* pstrError = nullptr) const;

 private:
  int32_t value_type_ = 0;
  registry::HKEY class_key_ = 0;
  std::string section_key_;
  std::string value_key_;
  Variant default_ = Variant::Null();
};

// The text of a registry result code: its system message with zero
// characters turned into blanks and blanks trimmed (the line end stays), or
// "Unknown error code N".
std::string RegistryMessage(int32_t code);

}  // namespace kx4

#endif  // KX4DATA_CONNECTION_CLSREGISTRY_H_
