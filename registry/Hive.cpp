#include "registry/Hive.h"

#include <cstdio>

#include "registry/Registry.h"
#include "variant/Utf8.h"

namespace kx4::registry {

namespace {

// --- Writing ---

void AppendQuoted(std::string_view text, std::string& out) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"')
      out += '\\';
    out += c;
  }
  out += '"';
}

void AppendHex(const std::vector<uint8_t>& data, std::string& line, std::string& out) {
  static constexpr size_t kWidth = 77;  // leaves room for the "\" of a continued line
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size(); ++i) {
    std::string piece{kDigits[data[i] >> 4], kDigits[data[i] & 0xF]};
    if (i + 1 < data.size())
      piece += ',';
    if (line.size() + piece.size() > kWidth) {
      out += line;
      out += "\\\n";
      line = "  ";
    }
    line += piece;
  }
  out += line;
  out += '\n';
}

void AppendValue(const HiveValue& value, std::string& out) {
  std::string line;
  if (value.name.empty()) {
    line = "@";
  } else {
    AppendQuoted(value.name, line);
  }
  line += '=';
  const auto& d = value.data;
  if (value.type == REG_SZ && !d.empty() && d.back() == 0) {
    std::string_view text(reinterpret_cast<const char*>(d.data()), d.size() - 1);
    if (IsPrintableUtf8(text)) {
      AppendQuoted(text, line);
      out += line;
      out += '\n';
      return;
    }
  }
  if (value.type == REG_DWORD && d.size() == 4) {
    uint32_t v = d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<uint32_t>(d[3]) << 24);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "dword:%08x", v);
    out += line;
    out += buffer;
    out += '\n';
    return;
  }
  if (value.type == REG_BINARY) {
    line += "hex:";
  } else {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    line += buffer;
  }
  AppendHex(d, line, out);
}

void AppendKey(const HiveKey& key, const std::string& path, bool is_root, std::string& out) {
  if (!is_root || !key.Values().empty()) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& value : key.Values())
      AppendValue(value, out);
    out += '\n';
  }
  for (const auto& sub : key.Subkeys())
    AppendKey(*sub, path + "\\" + sub->Name(), false, out);
}

// --- Reading ---

std::string_view TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
    ++i;
  return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t'))
    --n;
  return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
  return TrimRight(TrimLeft(s));
}

bool HasControlCharacters(std::string_view s) {
  for (unsigned char c : s) {
    if ((c < 0x20 && c != '\t') || c == 0x7F)
      return true;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Parses 1 to `max_digits` hex digits making up all of `s`.
bool ParseHexNumber(std::string_view s, size_t max_digits, uint32_t& value) {
  if (s.empty() || s.size() > max_digits)
    return false;
  value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0)
      return false;
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  return true;
}

class Parser {
 public:
  Parser(Hive& hive, std::string_view text) : hive_(hive), text_(text) {}

  bool Run(ParseError* error) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF")
      text_.remove_prefix(3);
    bool header_seen = false;
    std::string_view line;
    while (NextLine(line)) {
      std::string_view t = Trim(line);
      if (t.empty() || t[0] == ';')
        continue;
      if (!header_seen) {
        if (t != "REGEDIT4")
          return Fail(error, "the file does not start with REGEDIT4");
        header_seen = true;
        continue;
      }
      bool ok = t[0] == '[' ? Section(t) : Value(t);
      if (!ok)
        return Fail(error, reason_);
    }
    return true;
  }

 private:
  bool NextLine(std::string_view& line) {
    if (pos_ >= text_.size())
      return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos)
      end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    pos_ = end + 1;
    ++line_number_;
    return true;
  }

  bool Fail(ParseError* error, std::string reason) {
    if (error) {
      error->line = line_number_;
      error->reason = std::move(reason);
    }
    return false;
  }

  bool Error(std::string reason) {
    reason_ = std::move(reason);
    return false;
  }

  bool Section(std::string_view t) {
    size_t close = t.rfind(']');
    if (close == std::string_view::npos || close + 1 != t.size())
      return Error("a key line must end with \"]\"");
    std::string_view path = t.substr(1, close - 1);
    if (!path.empty() && path[0] == '-')
      return Error("a hive cannot delete keys (\"[-\")");
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
      size_t slash = path.find('\\', start);
      parts.push_back(path.substr(
          start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
      if (slash == std::string_view::npos)
        break;
      start = slash + 1;
    }
    HiveKey* key = &hive_.Root();
    if (NamesEqual(parts[0], RootName(hive_.Kind()))) {
      // the hive's own root
    } else if (hive_.Kind() == HiveKind::kSystem && NamesEqual(parts[0], "HKEY_CLASSES_ROOT")) {
      key = &key->AddSubkey("Software").AddSubkey("Classes");
    } else {
      return Error("the key \"" + std::string(parts[0]) + "\" does not belong in this hive");
    }
    for (size_t i = 1; i < parts.size(); ++i) {
      if (parts[i].empty())
        return Error("a key name is empty");
      if (parts[i].size() > kMaxKeyNameLength)
        return Error("a key name is longer than 255 bytes");
      if (HasControlCharacters(parts[i]))
        return Error("a key name holds a control character");
      key = &key->AddSubkey(parts[i]);
    }
    current_ = key;
    return true;
  }

  // A quoted text at the start of `s`; `s` is left after the closing quote.
  bool Quoted(std::string_view& s, std::string& out) {
    out.clear();
    for (size_t i = 1; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') {
        s.remove_prefix(i + 1);
        return true;
      }
      if (c == '\\') {
        if (i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
          out += s[++i];
          continue;
        }
        return Error("a backslash in quotes must be written \\\\ (only \\\\ and \\\" are escapes)");
      }
      out += c;
    }
    return Error("a closing quote is missing");
  }

  bool Value(std::string_view t) {
    if (current_ == nullptr)
      return Error("a value comes before the first key");
    std::string name;
    std::string_view rest = t;
    if (rest[0] == '@') {
      rest.remove_prefix(1);
    } else if (rest[0] == '"') {
      if (!Quoted(rest, name))
        return false;
      if (name.empty())
        return Error("the default value is written @, not \"\"");
      if (HasControlCharacters(name))
        return Error("a value name holds a control character");
    } else {
      return Error("expected a [key], a \"name\"= or @= line");
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest[0] != '=')
      return Error("\"=\" is missing after the value name");
    rest = TrimLeft(rest.substr(1));

    std::vector<uint8_t> data;
    uint32_t type;
    if (!rest.empty() && rest[0] == '"') {
      std::string text;
      if (!Quoted(rest, text))
        return false;
      if (!Trim(rest).empty())
        return Error("unexpected text after the closing quote");
      type = REG_SZ;
      data.assign(text.begin(), text.end());
      data.push_back(0);
    } else if (rest.substr(0, 6) == "dword:") {
      uint32_t v;
      if (!ParseHexNumber(Trim(rest.substr(6)), 8, v))
        return Error("dword: needs 1 to 8 hex digits");
      type = REG_DWORD;
      data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
              static_cast<uint8_t>(v >> 24)};
    } else if (rest.substr(0, 3) == "hex") {
      rest.remove_prefix(3);
      type = REG_BINARY;
      if (!rest.empty() && rest[0] == '(') {
        size_t close = rest.find(')');
        if (close == std::string_view::npos || !ParseHexNumber(rest.substr(1, close - 1), 8, type))
          return Error("hex(N): needs the type number in hex");
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest[0] != ':')
        return Error("\":\" is missing after hex");
      if (!HexBytes(rest.substr(1), data))
        return false;
    } else if (!rest.empty() && rest[0] == '-') {
      return Error("a hive cannot delete values (\"=-\")");
    } else {
      return Error("the data must be \"text\", dword:, hex: or hex(N):");
    }
    current_->PutValue(name, type, std::move(data));
    return true;
  }

  bool HexBytes(std::string_view first, std::vector<uint8_t>& data) {
    std::string list(TrimRight(first));
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      std::string_view next;
      if (!NextLine(next))
        return Error("the file ends inside a continued hex line");
      list += TrimRight(TrimLeft(next));
    }
    std::string_view s = list;
    size_t start = 0;
    while (start < s.size()) {
      size_t comma = s.find(',', start);
      std::string_view token = Trim(s.substr(
          start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      uint32_t byte;
      if (!ParseHexNumber(token, 2, byte)) {
        bool trailing_comma = token.empty() && comma == std::string_view::npos;
        if (!trailing_comma)
          return Error("hex data must be bytes of two hex digits separated by commas");
        break;
      }
      data.push_back(static_cast<uint8_t>(byte));
      if (comma == std::string_view::npos)
        break;
      start = comma + 1;
    }
    return true;
  }

  Hive& hive_;
  std::string_view text_;
  size_t pos_ = 0;
  int line_number_ = 0;
  HiveKey* current_ = nullptr;
  std::string reason_;
};

}  // namespace

std::string FoldName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    char32_t cp;
    if (!DecodeUtf8(name, i, cp)) {
      out += name[i++];
      continue;
    }
    AppendUtf8(LowerChar(cp), out);
  }
  return out;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  return FoldName(a) == FoldName(b);
}

bool IsPrintableUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    char32_t cp;
    if (!DecodeUtf8(s, i, cp) || (cp < 0x20 && cp != '\t') || cp == 0x7F)
      return false;
  }
  return true;
}

const char* RootName(HiveKind kind) {
  return kind == HiveKind::kUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// --- HiveKey ---

const HiveValue* HiveKey::FindValue(std::string_view name) const {
  auto it = value_index_.find(FoldName(name));
  return it == value_index_.end() ? nullptr : &values_[it->second];
}

void HiveKey::PutValue(std::string_view name, uint32_t type, std::vector<uint8_t> data) {
  std::string folded = FoldName(name);
  auto it = value_index_.find(folded);
  if (it != value_index_.end()) {
    values_[it->second].type = type;
    values_[it->second].data = std::move(data);
    return;
  }
  value_index_.emplace(std::move(folded), values_.size());
  values_.push_back(HiveValue{std::string(name), type, std::move(data)});
}

bool HiveKey::RemoveValue(std::string_view name) {
  auto it = value_index_.find(FoldName(name));
  if (it == value_index_.end())
    return false;
  size_t position = it->second;
  value_index_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
  for (auto& entry : value_index_) {
    if (entry.second > position)
      --entry.second;
  }
  return true;
}

HiveKey* HiveKey::FindSubkey(std::string_view name) const {
  auto it = subkey_index_.find(FoldName(name));
  return it == subkey_index_.end() ? nullptr : subkeys_[it->second].get();
}

HiveKey& HiveKey::AddSubkey(std::string_view name, bool* created) {
  std::string folded = FoldName(name);
  auto it = subkey_index_.find(folded);
  if (created)
    *created = it == subkey_index_.end();
  if (it != subkey_index_.end())
    return *subkeys_[it->second];
  subkey_index_.emplace(std::move(folded), subkeys_.size());
  subkeys_.push_back(std::make_unique<HiveKey>(std::string(name)));
  return *subkeys_.back();
}

bool HiveKey::RemoveSubkey(std::string_view name) {
  auto it = subkey_index_.find(FoldName(name));
  if (it == subkey_index_.end())
    return false;
  size_t position = it->second;
  subkey_index_.erase(it);
  subkeys_.erase(subkeys_.begin() + static_cast<std::ptrdiff_t>(position));
  for (auto& entry : subkey_index_) {
    if (entry.second > position)
      --entry.second;
  }
  return true;
}

// --- Hive ---

Hive::Hive(HiveKind kind) : kind_(kind), root_(std::make_unique<HiveKey>(RootName(kind))) {}

HiveKey* Hive::Find(const std::vector<std::string>& path) const {
  HiveKey* key = root_.get();
  for (const auto& part : path) {
    key = key->FindSubkey(part);
    if (key == nullptr)
      return nullptr;
  }
  return key;
}

bool Hive::Parse(std::string_view text, ParseError* error) {
  return Parser(*this, text).Run(error);
}

std::string Hive::Serialize() const {
  std::string out = "REGEDIT4\n\n";
  AppendKey(*root_, RootName(kind_), true, out);
  return out;
}

}  // namespace kx4::registry
