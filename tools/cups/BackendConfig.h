// The backend's own settings: a file of "Key value" lines beside the
// machine-wide connection settings (cups.conf in $KX4_HIVE_DIR, else in
// /etc/kestrix), the root-only file that maps CUPS user names to PIN codes,
// and the account the scheduler runs unprivileged programs as.
#ifndef KX4_TOOLS_CUPS_BACKENDCONFIG_H_
#define KX4_TOOLS_CUPS_BACKENDCONFIG_H_

#include <sys/types.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace kx4::cups {

// A configuration the backend must not run with; the message names the
// file and line.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct BackendConfig {
  // file: device URIs, which the backend writes itself, as root.
  bool allow_file = false;
  // Refuse jobs whose cost exceeds what is left of the user's quota.
  bool refuse_over_quota = false;
  // CUPS user names and their PIN codes; empty for none.
  std::string user_file;
  // Users missing from the file are looked up by name in the user list.
  bool match_user_names = false;
  // When the database cannot be reached: print without a record (true) or
  // let the scheduler retry the job later (false).
  bool print_unrecorded = false;
};

// The folder of the machine-wide settings.
std::string ConfigFolder();

// Reads the settings at `path`; a missing file gives the defaults.  Keys:
// AllowFile, RefuseOverQuota, MatchUserNames, PrintUnrecorded (yes or no),
// UserFile (an absolute path).  Throws ConfigError for anything else.
BackendConfig LoadBackendConfig(const std::string& path);

// The PIN code listed for `user` in the user file (lines "name PIN", "#"
// comments); none when the user is not listed.  Throws ConfigError when
// the file cannot be read or others than its owner, root or this process's
// user, could read or change it.
std::optional<std::string> LookUpPin(const std::string& path, const std::string& user);

struct Account {
  uid_t uid = 0;
  gid_t gid = 0;
  std::string name;
};
// The scheduler's unprivileged account: User and Group of
// `server_root`/cups-files.conf, "lp" of each by default.  Throws
// ConfigError when the system does not know them.
Account SchedulerAccount(const std::string& server_root);

}  // namespace kx4::cups

#endif  // KX4_TOOLS_CUPS_BACKENDCONFIG_H_
