#include "connection/clsRegistry.h"

#include <algorithm>
#include <cstring>

#include <kx4data/RuntimeError.h>

namespace kx4 {

namespace {

using namespace registry;

const char kInvalidValue[] = "Could not set value. Invalid value for set type.";
const char kUnknownType[] = "Could not set value. Unknown value type.";

std::string TrimBlanks(std::string_view s) {
  size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos)
    return {};
  size_t last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

void Report(std::string* pstrError, const std::string& text) {
  if (pstrError != nullptr)
    *pstrError = text;
}

// A "%", at least one character, and a "%" again: the text refers to the
// environment.
bool HasEnvironmentReference(const std::string& text) {
  size_t open = text.find('%');
  return open != std::string::npos && text.find('%', open + 2) != std::string::npos;
}

bool IsByteArray(const Variant& value) {
  if (!value.IsArray())
    return false;
  const auto& elements = value.Array().Elements();
  return std::all_of(elements.begin(), elements.end(),
                     [](const Variant& e) { return e.Get<uint8_t>() != nullptr; });
}

int32_t FromLittleEndian(const uint8_t* b) {
  return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                              (static_cast<uint32_t>(b[3]) << 24));
}

// Closes the key on every way out.
class OpenedKey {
 public:
  ~OpenedKey() { CloseKey(key); }
  Key key;
};

}  // namespace

std::string RegistryMessage(int32_t code) {
  std::string text = FormatMessage(code);
  if (text.empty())
    return "Unknown error code " + std::to_string(code);
  std::replace(text.begin(), text.end(), '\0', ' ');
  return TrimBlanks(text);
}

bool clsRegistry::KeyExists(std::string* pstrError) const {
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_QUERY_VALUE, opened.key);
  Report(pstrError, code == ERROR_SUCCESS ? std::string() : RegistryMessage(code));
  return code == ERROR_SUCCESS;
}

bool clsRegistry::CreateKey(std::string* pstrError) const {
  OpenedKey opened;
  int32_t code = registry::CreateKey(class_key_, section_key_, KEY_WRITE, opened.key);
  if (code != ERROR_SUCCESS) {
    Report(pstrError, "Unable to create key: " + RegistryMessage(code));
    return false;
  }
  return true;
}

bool clsRegistry::DeleteKey(std::string* pstrError) const {
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_ALL_ACCESS, opened.key);
  if (code == ERROR_SUCCESS)
    code = DeleteTree(opened.key, "");
  if (code != ERROR_SUCCESS) {
    Report(pstrError, "Unable to delete key: " + RegistryMessage(code));
    return false;
  }
  return true;
}

bool clsRegistry::DeleteValue(std::string* pstrError) const {
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_WRITE, opened.key);
  if (code == ERROR_SUCCESS)
    code = registry::DeleteValue(opened.key, value_key_);
  if (code != ERROR_SUCCESS) {
    Report(pstrError, RegistryMessage(code));
    return false;
  }
  return true;
}

Variant clsRegistry::GetValue(std::string* pstrError) {
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_QUERY_VALUE, opened.key);
  if (code != ERROR_SUCCESS) {
    Report(pstrError, "Error retrieving value: " + RegistryMessage(code));
    return Variant::Null();
  }
  uint32_t type = REG_NONE;
  uint8_t scratch[4];
  uint32_t size = 0;
  code = QueryValue(opened.key, value_key_, &type, scratch, &size);
  if (code != ERROR_SUCCESS && code != ERROR_MORE_DATA)
    return default_;
  value_type_ = static_cast<int32_t>(type);

  // The second query fills a zeroed buffer of the size the first one
  // reported; when it fails the zeros are converted as they are.
  auto read = [&](uint8_t* data, uint32_t capacity) {
    code = QueryValue(opened.key, value_key_, nullptr, data, &capacity);
    if (code != ERROR_SUCCESS)
      Report(pstrError, "Error retrieving value: " + RegistryMessage(code));
  };
  switch (type) {
    case REG_SZ:
    case REG_MULTI_SZ:
    case REG_EXPAND_SZ: {
      std::vector<uint8_t> buffer(std::max<uint32_t>(size, 1), 0);
      read(buffer.data(), size);
      if (type == REG_EXPAND_SZ) {
        const char* text = reinterpret_cast<const char*>(buffer.data());
        return Variant(ExpandEnvironmentStrings(std::string(text, strnlen(text, size))));
      }
      // The parts of a multi-string run together.
      std::string text;
      for (uint8_t b : buffer) {
        if (b != 0)
          text += static_cast<char>(b);
      }
      return Variant(TrimBlanks(text));
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
      uint8_t b[4] = {0, 0, 0, 0};
      read(b, sizeof b);
      if (type == REG_DWORD_BIG_ENDIAN) {
        std::swap(b[0], b[3]);
        std::swap(b[1], b[2]);
      }
      return Variant(FromLittleEndian(b));
    }
    default: {
      std::vector<uint8_t> buffer(std::max<uint32_t>(size, 1), 0);
      read(buffer.data(), size);
      std::vector<Variant> bytes(buffer.begin(), buffer.begin() + size);
      return Variant(VariantArray(std::move(bytes), 0));
    }
  }
}

Variant clsRegistry::GetValueOrDefault(const std::string& pstrKey, const Variant& pvntDefaultValue,
                                       std::string* pstrError) {
  value_key_ = pstrKey;
  Variant result = GetValue(pstrError);
  return result.IsNull() ? pvntDefaultValue : result;
}

bool clsRegistry::SetCreateValue(const std::string& pstrValueKey, const Variant& pvntValue,
                                 std::string* pstrError) {
  value_key_ = pstrValueKey;
  if (!KeyExists(pstrError) && !CreateKey(pstrError))
    return false;
  return SetValue(pvntValue, pstrError);
}

bool clsRegistry::SetValue(const Variant& vvntValue, std::string* pstrError) {
  Report(pstrError, "");
  std::string error;
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_WRITE, opened.key);
  if (code == ERROR_SUCCESS) {
    switch (value_type_) {
      case REG_SZ:
      case REG_EXPAND_SZ: {
        std::string text = vvntValue.ToString();
        code = registry::SetValue(
            opened.key, value_key_, HasEnvironmentReference(text) ? REG_EXPAND_SZ : REG_SZ,
            reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()));
        break;
      }
      case REG_BINARY: {
        if (!IsByteArray(vvntValue)) {
          error = kInvalidValue;
          break;
        }
        const VariantArray& array = vvntValue.Array();
        if (array.LBound() != 0 && array.Size() > 0)
          throw RuntimeError(kErrSubscriptOutOfRange, "Subscript out of range");
        std::vector<uint8_t> bytes;
        bytes.reserve(array.Size());
        for (const auto& e : array.Elements())
          bytes.push_back(*e.Get<uint8_t>());
        code = registry::SetValue(opened.key, value_key_, REG_BINARY, bytes.data(),
                                  static_cast<uint32_t>(bytes.size()));
        break;
      }
      case REG_DWORD:
      case REG_DWORD_BIG_ENDIAN: {
        int32_t number;
        if (auto i = vvntValue.Get<int16_t>()) {
          number = *i;
        } else if (auto l = vvntValue.Get<int32_t>()) {
          number = *l;
        } else {
          error = kInvalidValue;
          break;
        }
        auto u = static_cast<uint32_t>(number);
        uint8_t bytes[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                            static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
        code = registry::SetValue(opened.key, value_key_, REG_DWORD, bytes, sizeof bytes);
        break;
      }
      default:
        error = kUnknownType;
        break;
    }
  }
  if (code != ERROR_SUCCESS)
    error = "Unable to set value: " + RegistryMessage(code);
  Report(pstrError, error);
  return error.empty();
}

bool clsRegistry::EnumerateValues(std::vector<std::string>& rstrKeyNames, int32_t& rlngKeyCount,
                                  std::string* pstrError) const {
  rlngKeyCount = 0;
  rstrKeyNames.clear();
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_QUERY_VALUE, opened.key);
  KeyInfo info;
  if (code == ERROR_SUCCESS)
    code = QueryInfoKey(opened.key, info);
  for (uint32_t index = 0; code == ERROR_SUCCESS; ++index) {
    std::string buffer(info.max_value_name_length + 1, '\0');
    auto size = static_cast<uint32_t>(buffer.size());
    code = EnumValue(opened.key, index, buffer.data(), &size);
    if (code == ERROR_SUCCESS) {
      rstrKeyNames.push_back(buffer.substr(0, size));
      ++rlngKeyCount;
    }
  }
  if (code != ERROR_NO_MORE_ITEMS) {
    Report(pstrError, "Unable to enumerate values: " + RegistryMessage(code));
    return false;
  }
  return true;
}

bool clsRegistry::EnumerateSections(std::vector<std::string>& rstrSections,
                                    int32_t& rlngNumSections, std::string* pstrError) const {
  rlngNumSections = 0;
  rstrSections.clear();
  OpenedKey opened;
  int32_t code = OpenKey(class_key_, section_key_, KEY_ENUMERATE_SUB_KEYS, opened.key);
  for (uint32_t index = 0; code == ERROR_SUCCESS; ++index) {
    char buffer[255] = {};
    code = EnumKey(opened.key, index, buffer, sizeof buffer);
    if (code == ERROR_SUCCESS) {
      rstrSections.emplace_back(buffer, strnlen(buffer, sizeof buffer));
      ++rlngNumSections;
    }
  }
  if (code != ERROR_NO_MORE_ITEMS) {
    Report(pstrError, "Unable to enumerate sections: " + RegistryMessage(code));
    return false;
  }
  return true;
}

}  // namespace kx4
