#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "registry/Registry.h"

namespace kx4::registry {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

// Names written for a platform whose environment ignores case still find
// their variable here.
std::optional<std::string> Lookup(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos)
    return std::nullopt;
  if (const char* value = std::getenv(name.c_str()))
    return std::string(value);
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    std::string_view pair = *entry;
    size_t equals = pair.find('=');
    if (equals != std::string_view::npos && EqualsNoCase(pair.substr(0, equals), name))
      return std::string(pair.substr(equals + 1));
  }
  return std::nullopt;
}

}  // namespace

std::string ExpandEnvironmentStrings(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    if (open == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open - i);
    size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) {
      out += text.substr(open);
      break;
    }
    if (auto value = Lookup(std::string(text.substr(open + 1, close - open - 1)))) {
      out += *value;
      i = close + 1;
    } else {
      // An unknown reference stays; its closing "%" may open the next one.
      out += text.substr(open, close - open);
      i = close;
    }
  }
  return out;
}

}  // namespace kx4::registry
