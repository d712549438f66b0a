#include "dataaccess/postgres/ConnectParams.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "dataaccess/postgres/PgErrors.h"
#include "variant/Utf8.h"

namespace kx4::ado::pg {

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
}

[[noreturn]] void BadDataSource(std::string_view data_source, std::string_view why) {
  ThrowConnectionError("Invalid data source \"" + std::string(data_source) +
                       "\": " + std::string(why));
}

std::string CheckedPort(std::string_view data_source, std::string_view port) {
  port = TrimWhitespace(port);
  if (!AllDigits(port) || port.size() > 5 || std::stoi(std::string(port)) < 1 ||
      std::stoi(std::string(port)) > 65535) {
    BadDataSource(data_source, "the port must be a number from 1 to 65535");
  }
  return std::string(port);
}

}  // namespace

ServerAddress ParseDataSource(std::string_view data_source) {
  std::string_view text = TrimWhitespace(data_source);
  if (text.size() >= 4 && EqualsAsciiNoCase(text.substr(0, 4), "tcp:")) {
    text = TrimWhitespace(text.substr(4));
  }
  ServerAddress address;
  if (text.empty() || text == "." || EqualsAsciiNoCase(text, "(local)")) {
    return address;
  }
  if (text.front() == '/') {
    // A socket folder; a path may hold commas, so only a numeric tail is a port.
    size_t comma = text.rfind(',');
    if (comma != std::string_view::npos && AllDigits(TrimWhitespace(text.substr(comma + 1)))) {
      address.port = CheckedPort(data_source, text.substr(comma + 1));
      text = TrimWhitespace(text.substr(0, comma));
    }
    address.host = std::string(text);
    return address;
  }
  if (text.find('\\') != std::string_view::npos) {
    BadDataSource(data_source, "named instances do not exist on this server; give host,port");
  }
  if (text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos) {
      BadDataSource(data_source, "an IPv6 address in brackets lacks the closing bracket");
    }
    address.host = std::string(text.substr(1, close - 1));
    std::string_view rest = TrimWhitespace(text.substr(close + 1));
    if (!rest.empty()) {
      if (rest.front() != ',' && rest.front() != ':') {
        BadDataSource(data_source, "unexpected text after the address");
      }
      address.port = CheckedPort(data_source, rest.substr(1));
    }
    return address;
  }
  size_t comma = text.rfind(',');
  if (comma != std::string_view::npos) {
    address.port = CheckedPort(data_source, text.substr(comma + 1));
    text = TrimWhitespace(text.substr(0, comma));
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    size_t colon = text.find(':');
    address.port = CheckedPort(data_source, text.substr(colon + 1));
    text = TrimWhitespace(text.substr(0, colon));
  }
  if (text == "." || EqualsAsciiNoCase(text, "(local)")) {
    text = {};
  }
  address.host = std::string(text);
  return address;
}

std::string OperatingSystemUser() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
    return found->pw_name;
  }
  return {};
}

void ConnectParams::Add(std::string keyword, std::string value) {
  values_.emplace_back(std::move(keyword), std::move(value));
}

ConnectParams ConnectParams::From(const ConnectionOptions& options, std::string_view database) {
  ConnectParams params;
  ServerAddress address = ParseDataSource(options.data_source);
  if (!address.host.empty()) {
    params.Add("host", address.host);
  }
  if (!address.port.empty()) {
    params.Add("port", address.port);
  }
  std::string dbname(database.empty() ? TrimWhitespace(options.database) : database);
  if (!dbname.empty()) {
    params.Add("dbname", dbname);
  }
  if (options.trusted) {
    // The operating-system user, named explicitly so that PGUSER cannot
    // substitute another login; the server admits it by peer or GSSAPI.
    std::string user = OperatingSystemUser();
    if (!user.empty()) {
      params.Add("user", user);
    }
  } else {
    if (!options.user_id.empty()) {
      params.Add("user", options.user_id);
    }
    if (!options.password.empty()) {
      params.Add("password", options.password);
    }
  }
  params.timeout_seconds_ = std::max(0, options.connect_timeout);
  params.read_only_ = options.mode == adModeRead;
  // Session settings the result parsing relies on, and the literal rules the
  // shared tokenizer cuts statements by (a backslash is no escape in '');
  // a read-mode session starts every transaction read-only.
  std::string settings =
      "-c DateStyle=ISO,MDY -c IntervalStyle=postgres -c extra_float_digits=3 "
      "-c standard_conforming_strings=on";
  if (params.read_only_) {
    settings += " -c default_transaction_read_only=on";
  }
  params.Add("options", settings);
  params.Add("client_encoding", "UTF8");
  // A server that vanishes without closing the connection is noticed within
  // about a minute instead of the system's two hours; statement_timeout
  // alone cannot tell.
  params.Add("keepalives", "1");
  params.Add("keepalives_idle", "30");
  params.Add("keepalives_interval", "10");
  params.Add("keepalives_count", "3");
  params.Add("fallback_application_name", "kx4data");
  return params;
}

const std::string* ConnectParams::Find(std::string_view keyword) const {
  for (const auto& [key, value] : values_) {
    if (key == keyword) {
      return &value;
    }
  }
  return nullptr;
}

std::vector<const char*> ConnectParams::Keywords() const {
  std::vector<const char*> result;
  for (const auto& entry : values_) {
    result.push_back(entry.first.c_str());
  }
  result.push_back(nullptr);
  return result;
}

std::vector<const char*> ConnectParams::ValuesArray() const {
  std::vector<const char*> result;
  for (const auto& entry : values_) {
    result.push_back(entry.second.c_str());
  }
  result.push_back(nullptr);
  return result;
}

}  // namespace kx4::ado::pg
