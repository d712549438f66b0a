#include "tools/cups/BackendConfig.h"

#include <grp.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

namespace kx4::cups {
namespace {

// Calls `use(key, value, line number)` for each "Key value" line of the
// stream: "#" starts a comment, blank lines are skipped.
void ForEachLine(std::istream& in,
                 const std::function<void(const std::string&, const std::string&, int)>& use) {
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (size_t comment = line.find('#'); comment != std::string::npos)
      line.erase(comment);
    std::istringstream words(line);
    std::string key;
    if (!(words >> key))
      continue;
    std::string value;
    std::getline(words >> std::ws, value);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
      value.pop_back();
    use(key, value, number);
  }
}

std::string Where(const std::string& path, int line) {
  return path + " line " + std::to_string(line);
}

bool YesNo(const std::string& value, const std::string& where) {
  for (const char* yes : {"yes", "on", "true"}) {
    if (::strcasecmp(value.c_str(), yes) == 0)
      return true;
  }
  for (const char* no : {"no", "off", "false"}) {
    if (::strcasecmp(value.c_str(), no) == 0)
      return false;
  }
  throw ConfigError(where + ": \"" + value + "\" is neither yes nor no");
}

}  // namespace

std::string ConfigFolder() {
  const char* relocated = std::getenv("KX4_HIVE_DIR");
  return relocated != nullptr && relocated[0] != '\0' ? relocated : "/etc/kestrix";
}

BackendConfig LoadBackendConfig(const std::string& path) {
  BackendConfig config;
  std::ifstream in(path);
  if (!in) {
    if (errno == ENOENT)
      return config;
    throw ConfigError(path + ": " + std::strerror(errno));
  }
  ForEachLine(in, [&](const std::string& key, const std::string& value, int line) {
    const std::string where = Where(path, line);
    if (::strcasecmp(key.c_str(), "AllowFile") == 0) {
      config.allow_file = YesNo(value, where);
    } else if (::strcasecmp(key.c_str(), "RefuseOverQuota") == 0) {
      config.refuse_over_quota = YesNo(value, where);
    } else if (::strcasecmp(key.c_str(), "MatchUserNames") == 0) {
      config.match_user_names = YesNo(value, where);
    } else if (::strcasecmp(key.c_str(), "PrintUnrecorded") == 0) {
      config.print_unrecorded = YesNo(value, where);
    } else if (::strcasecmp(key.c_str(), "UserFile") == 0) {
      if (value.empty() || value.front() != '/')
        throw ConfigError(where + ": UserFile needs an absolute path");
      config.user_file = value;
    } else {
      throw ConfigError(where + ": unknown setting \"" + key + "\"");
    }
  });
  return config;
}

std::optional<std::string> LookUpPin(const std::string& path, const std::string& user) {
  std::ifstream in(path);
  struct stat status {};
  if (!in || ::stat(path.c_str(), &status) != 0)
    throw ConfigError(path + ": " + std::strerror(errno));
  // PIN codes authorise charges: nobody but the owner may see or change them.
  if ((status.st_uid != 0 && status.st_uid != ::geteuid()) || (status.st_mode & 077) != 0)
    throw ConfigError(path + " holds PIN codes and must be readable by its owner only (mode 0600)");
  std::optional<std::string> pin;
  ForEachLine(in, [&](const std::string& name, const std::string& value, int line) {
    if (value.empty())
      throw ConfigError(Where(path, line) + ": no PIN code for " + name);
    if (!pin && name == user)
      pin = value;
  });
  return pin;
}

Account SchedulerAccount(const std::string& server_root) {
  std::string user = "lp";
  std::string group = "lp";
  std::ifstream in(server_root + "/cups-files.conf");
  ForEachLine(in, [&](const std::string& key, const std::string& value, int) {
    if (::strcasecmp(key.c_str(), "User") == 0 && !value.empty())
      user = value;
    else if (::strcasecmp(key.c_str(), "Group") == 0 && !value.empty())
      group = value;
  });
  Account account;
  const struct passwd* entry = ::getpwnam(user.c_str());
  if (entry == nullptr)
    throw ConfigError("the scheduler's user \"" + user + "\" is unknown");
  account.uid = entry->pw_uid;
  account.name = user;
  const struct group* unit = ::getgrnam(group.c_str());
  if (unit == nullptr)
    throw ConfigError("the scheduler's group \"" + group + "\" is unknown");
  account.gid = unit->gr_gid;
  return account;
}

}  // namespace kx4::cups
