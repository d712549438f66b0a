#include "registry/Registry.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "registry/Hive.h"
#include "registry/HiveFile.h"

namespace kx4::registry {

class KeyAccess {
 public:
  static Key Make(HKEY root, REGSAM access, std::vector<std::string> path) {
    Key key;
    key.root_ = root;
    key.access_ = access;
    key.path_ = std::move(path);
    return key;
  }
};

namespace {

// Where a root lives: its hive and the path of its key inside the hive.
bool ResolveRoot(HKEY root, HiveKind& kind, std::vector<std::string>& prefix) {
  prefix.clear();
  switch (root) {
    case HKEY_CURRENT_USER:
      kind = HiveKind::kUser;
      return true;
    case HKEY_LOCAL_MACHINE:
      kind = HiveKind::kSystem;
      return true;
    case HKEY_CLASSES_ROOT:
      kind = HiveKind::kSystem;
      prefix = {"Software", "Classes"};
      return true;
    default:
      return false;
  }
}

int32_t SplitPath(std::string_view sub_key, std::vector<std::string>& parts) {
  parts.clear();
  if (!sub_key.empty() && sub_key.back() == '\\')
    sub_key.remove_suffix(1);
  if (sub_key.empty())
    return ERROR_SUCCESS;
  for (size_t start = 0;;) {
    size_t slash = sub_key.find('\\', start);
    std::string_view part = sub_key.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (part.empty())
      return ERROR_BAD_PATHNAME;
    if (part.size() > kMaxKeyNameLength || !IsPrintableUtf8(part))
      return ERROR_INVALID_PARAMETER;
    parts.emplace_back(part);
    if (slash == std::string_view::npos)
      return ERROR_SUCCESS;
    start = slash + 1;
  }
}

// Everything a call on an open key needs.
struct Target {
  HiveKind kind;
  std::vector<std::string> path;  // inside the hive
  // A root always exists, even HKEY_CLASSES_ROOT before its key is made.
  bool is_root;

  int32_t Missing() const { return is_root ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED; }
};

int32_t Resolve(const Key& key, REGSAM needed, Target& target) {
  std::vector<std::string> prefix;
  if (!key.IsOpen() || !ResolveRoot(key.Root(), target.kind, prefix))
    return ERROR_INVALID_HANDLE;
  if ((key.Access() & needed) != needed)
    return ERROR_ACCESS_DENIED;
  target.path = std::move(prefix);
  target.path.insert(target.path.end(), key.Path().begin(), key.Path().end());
  target.is_root = key.Path().empty();
  return ERROR_SUCCESS;
}

// Reads the hive of `target` and finds its key.
int32_t Load(const Target& target, Hive& hive, const HiveKey*& node) {
  if (int32_t code = ReadHive(target.kind, hive); code != ERROR_SUCCESS)
    return code;
  static const HiveKey kEmpty("");
  node = hive.Find(target.path);
  if (node == nullptr && target.is_root)
    node = &kEmpty;
  return node != nullptr ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Registry failures never escape as exceptions.
template <typename F>
int32_t Guarded(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

}  // namespace

int32_t OpenKey(HKEY root, std::string_view sub_key, REGSAM access, Key& result) {
  return Guarded([&] {
    HiveKind kind;
    std::vector<std::string> prefix, parts;
    if (!ResolveRoot(root, kind, prefix))
      return ERROR_INVALID_HANDLE;
    if (int32_t code = SplitPath(sub_key, parts); code != ERROR_SUCCESS)
      return code;
    Hive hive(kind);
    if (int32_t code = ReadHive(kind, hive); code != ERROR_SUCCESS)
      return code;
    prefix.insert(prefix.end(), parts.begin(), parts.end());
    if (!parts.empty() && hive.Find(prefix) == nullptr)
      return ERROR_FILE_NOT_FOUND;
    result = KeyAccess::Make(root, access, std::move(parts));
    return ERROR_SUCCESS;
  });
}

int32_t CreateKey(HKEY root, std::string_view sub_key, REGSAM access, Key& result, bool* created) {
  return Guarded([&] {
    HiveKind kind;
    std::vector<std::string> prefix, parts;
    if (!ResolveRoot(root, kind, prefix))
      return ERROR_INVALID_HANDLE;
    if (int32_t code = SplitPath(sub_key, parts); code != ERROR_SUCCESS)
      return code;
    prefix.insert(prefix.end(), parts.begin(), parts.end());
    bool any_new = false;
    int32_t code = UpdateHive(kind, [&](Hive& hive, bool& changed) {
      HiveKey* node = &hive.Root();
      for (const auto& part : prefix) {
        bool is_new;
        node = &node->AddSubkey(part, &is_new);
        any_new = any_new || is_new;
      }
      changed = any_new;
      return ERROR_SUCCESS;
    });
    if (code != ERROR_SUCCESS)
      return code;
    if (created)
      *created = any_new;
    result = KeyAccess::Make(root, access, std::move(parts));
    return ERROR_SUCCESS;
  });
}

void CloseKey(Key& key) {
  key = Key();
}

int32_t QueryValue(const Key& key, std::string_view name, uint32_t* type, uint8_t* data,
                   uint32_t* size) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, KEY_QUERY_VALUE, target); code != ERROR_SUCCESS)
      return code;
    if (data != nullptr && size == nullptr)
      return ERROR_INVALID_PARAMETER;
    Hive hive(target.kind);
    const HiveKey* node;
    if (int32_t code = Load(target, hive, node); code != ERROR_SUCCESS)
      return code;
    const HiveValue* value = node->FindValue(name);
    if (value == nullptr)
      return ERROR_FILE_NOT_FOUND;
    if (type != nullptr)
      *type = value->type;
    auto needed = static_cast<uint32_t>(value->data.size());
    if (data != nullptr) {
      if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
      }
      if (needed > 0)
        std::memcpy(data, value->data.data(), needed);
    }
    if (size != nullptr)
      *size = needed;
    return ERROR_SUCCESS;
  });
}

int32_t SetValue(const Key& key, std::string_view name, uint32_t type, const uint8_t* data,
                 uint32_t size) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, KEY_SET_VALUE, target); code != ERROR_SUCCESS)
      return code;
    if (name.size() > kMaxValueNameLength || !IsPrintableUtf8(name) ||
        (data == nullptr && size > 0))
      return ERROR_INVALID_PARAMETER;
    std::vector<uint8_t> bytes(data, data + size);
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && (bytes.empty() || bytes.back() != 0))
      bytes.push_back(0);
    return UpdateHive(target.kind, [&](Hive& hive, bool& changed) {
      HiveKey* node = hive.Find(target.path);
      if (node == nullptr && target.is_root) {
        node = &hive.Root();
        for (const auto& part : target.path)
          node = &node->AddSubkey(part);
      }
      if (node == nullptr)
        return ERROR_KEY_DELETED;
      const HiveValue* old = node->FindValue(name);
      changed = old == nullptr || old->type != type || old->data != bytes;
      if (changed)
        node->PutValue(name, type, std::move(bytes));
      return ERROR_SUCCESS;
    });
  });
}

int32_t DeleteValue(const Key& key, std::string_view name) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, KEY_SET_VALUE, target); code != ERROR_SUCCESS)
      return code;
    return UpdateHive(target.kind, [&](Hive& hive, bool& changed) {
      HiveKey* node = hive.Find(target.path);
      if (node == nullptr)
        return target.Missing();
      changed = node->RemoveValue(name);
      return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
  });
}

int32_t DeleteTree(const Key& key, std::string_view sub_key) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, target);
        code != ERROR_SUCCESS)
      return code;
    std::vector<std::string> parts;
    if (int32_t code = SplitPath(sub_key, parts); code != ERROR_SUCCESS)
      return code;
    if (key.Path().empty() && parts.empty())
      return ERROR_ACCESS_DENIED;  // a root stays
    return UpdateHive(target.kind, [&](Hive& hive, bool& changed) {
      HiveKey* parent = hive.Find(target.path);
      if (parent == nullptr)
        return target.Missing();
      std::vector<std::string> full = target.path;
      full.insert(full.end(), parts.begin(), parts.end());
      std::string last = full.back();
      full.pop_back();
      parent = hive.Find(full);
      if (parent == nullptr || !parent->RemoveSubkey(last))
        return ERROR_FILE_NOT_FOUND;
      changed = true;
      return ERROR_SUCCESS;
    });
  });
}

int32_t EnumValue(const Key& key, uint32_t index, char* name, uint32_t* name_size, uint32_t* type) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, KEY_QUERY_VALUE, target); code != ERROR_SUCCESS)
      return code;
    if (name == nullptr || name_size == nullptr)
      return ERROR_INVALID_PARAMETER;
    Hive hive(target.kind);
    const HiveKey* node;
    if (int32_t code = Load(target, hive, node); code != ERROR_SUCCESS)
      return code;
    if (index >= node->Values().size())
      return ERROR_NO_MORE_ITEMS;
    const HiveValue& value = node->Values()[index];
    if (value.name.size() + 1 > *name_size)
      return ERROR_MORE_DATA;
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *name_size = static_cast<uint32_t>(value.name.size());
    if (type != nullptr)
      *type = value.type;
    return ERROR_SUCCESS;
  });
}

int32_t EnumKey(const Key& key, uint32_t index, char* name, uint32_t name_size) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, KEY_ENUMERATE_SUB_KEYS, target); code != ERROR_SUCCESS)
      return code;
    if (name == nullptr && name_size > 0)
      return ERROR_INVALID_PARAMETER;
    Hive hive(target.kind);
    const HiveKey* node;
    if (int32_t code = Load(target, hive, node); code != ERROR_SUCCESS)
      return code;
    if (index >= node->Subkeys().size())
      return ERROR_NO_MORE_ITEMS;
    const std::string& sub = node->Subkeys()[index]->Name();
    if (sub.size() + 1 > name_size)
      return ERROR_MORE_DATA;
    std::memcpy(name, sub.c_str(), sub.size() + 1);
    return ERROR_SUCCESS;
  });
}

int32_t QueryInfoKey(const Key& key, KeyInfo& info) {
  return Guarded([&] {
    Target target;
    if (int32_t code = Resolve(key, KEY_QUERY_VALUE, target); code != ERROR_SUCCESS)
      return code;
    Hive hive(target.kind);
    const HiveKey* node;
    if (int32_t code = Load(target, hive, node); code != ERROR_SUCCESS)
      return code;
    info = KeyInfo();
    info.subkeys = static_cast<uint32_t>(node->Subkeys().size());
    for (const auto& sub : node->Subkeys())
      info.max_subkey_name_length =
          std::max(info.max_subkey_name_length, static_cast<uint32_t>(sub->Name().size()));
    info.values = static_cast<uint32_t>(node->Values().size());
    for (const auto& value : node->Values()) {
      info.max_value_name_length =
          std::max(info.max_value_name_length, static_cast<uint32_t>(value.name.size()));
      info.max_value_data_size =
          std::max(info.max_value_data_size, static_cast<uint32_t>(value.data.size()));
    }
    return ERROR_SUCCESS;
  });
}

std::string FormatMessage(int32_t code) {
  const char* text = nullptr;
  switch (code) {
    case ERROR_SUCCESS:
      text = "The operation completed successfully.";
      break;
    case ERROR_FILE_NOT_FOUND:
      text = "The registry key or value does not exist.";
      break;
    case ERROR_ACCESS_DENIED:
      text = "Access is denied.";
      break;
    case ERROR_INVALID_HANDLE:
      text = "The registry key handle is invalid.";
      break;
    case ERROR_OUTOFMEMORY:
      text = "Not enough memory is available to complete this operation.";
      break;
    case ERROR_INVALID_PARAMETER:
      text = "The parameter is incorrect.";
      break;
    case ERROR_DISK_FULL:
      text = "There is not enough space on the disk.";
      break;
    case ERROR_BAD_PATHNAME:
      text = "The registry key path is invalid.";
      break;
    case ERROR_MORE_DATA:
      text = "More data is available.";
      break;
    case ERROR_NO_MORE_ITEMS:
      text = "No more data is available.";
      break;
    case ERROR_BADDB:
      text = "The registry hive file cannot be parsed; it is left unchanged.";
      break;
    case ERROR_CANTOPEN:
      text = "The registry hive file could not be opened.";
      break;
    case ERROR_CANTREAD:
      text = "The registry hive file could not be read.";
      break;
    case ERROR_CANTWRITE:
      text = "The registry hive file could not be written.";
      break;
    case ERROR_KEY_DELETED:
      text = "The registry key has been deleted.";
      break;
    default:
      return {};
  }
  return std::string(text) + "\r\n";
}

int32_t VerifyHive(HKEY root, std::string* detail) {
  return Guarded([&] {
    HiveKind kind;
    std::vector<std::string> prefix;
    if (!ResolveRoot(root, kind, prefix))
      return ERROR_INVALID_HANDLE;
    Hive hive(kind);
    ParseError error;
    int32_t code = ReadHive(kind, hive, &error);
    if (detail != nullptr) {
      std::string path = LocateHive(kind).path;
      if (code == ERROR_BADDB) {
        *detail = path + ":" + std::to_string(error.line) + ": " + error.reason;
      } else if (code != ERROR_SUCCESS) {
        std::string message = FormatMessage(code);
        *detail = path + ": " + message.substr(0, message.size() - 2);
      } else {
        detail->clear();
      }
    }
    return code;
  });
}

std::string HivePath(HKEY root) {
  HiveKind kind;
  std::vector<std::string> prefix;
  return ResolveRoot(root, kind, prefix) ? LocateHive(kind).path : std::string();
}

}  // namespace kx4::registry
