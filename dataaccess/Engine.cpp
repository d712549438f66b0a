#include "dataaccess/Engine.h"

#include <cstdlib>

#include "variant/Utf8.h"

namespace kx4::ado {
namespace {

std::string Describe(const std::vector<ProviderError>& errors) {
  return errors.empty() ? std::string("Unspecified error") : errors.front().Description;
}

}  // namespace

EngineError::EngineError(int32_t hresult, std::vector<ProviderError> errors)
    : std::runtime_error(Describe(errors)), hresult_(hresult), errors_(std::move(errors)) {}

ConnectionOptions ConnectionOptions::Parse(std::string_view text) {
  ConnectionOptions o;
  while (!text.empty()) {
    const size_t semi = text.find(';');
    std::string_view pair = text.substr(0, semi);
    text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos)
      continue;
    const std::string key = AsciiLower(TrimWhitespace(pair.substr(0, eq)));
    const std::string value(pair.substr(eq + 1));
    if (key == "provider") {
      o.provider = value;
    } else if (key == "data source" || key == "server" || key == "address") {
      o.data_source = value;
    } else if (key == "database" || key == "initial catalog") {
      o.database = value;
    } else if (key == "user id" || key == "uid" || key == "user") {
      o.user_id = value;
    } else if (key == "password" || key == "pwd") {
      o.password = value;
    } else if (key == "network library" || key == "network") {
      o.network_library = value;
    } else if (key == "trusted_connection" || key == "integrated security") {
      const std::string v = AsciiLower(TrimWhitespace(value));
      o.trusted = v == "yes" || v == "true" || v == "sspi";
    } else if (key == "connect timeout" || key == "connection timeout") {
      o.connect_timeout = std::atoi(std::string(TrimWhitespace(value)).c_str());
    }
  }
  return o;
}

bool ConnectionOptions::IsEmbedded() const {
  const std::string v = AsciiLower(TrimWhitespace(data_source));
  return v == "(localdb)" || v.rfind("(localdb)\\", 0) == 0;
}

}  // namespace kx4::ado
