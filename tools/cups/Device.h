// The real device behind a "kx4:<device URI>" queue: its URI, the backend
// program that serves its scheme, and running that program as the scheduler
// would, or writing a file: device directly.
#ifndef KX4_TOOLS_CUPS_DEVICE_H_
#define KX4_TOOLS_CUPS_DEVICE_H_

#include <optional>
#include <string>
#include <string_view>

#include "tools/cups/BackendConfig.h"

namespace kx4::cups {

// The backend's exit statuses the scheduler knows.
inline constexpr int kBackendOk = 0;
inline constexpr int kBackendFailed = 1;
inline constexpr int kBackendHold = 3;
inline constexpr int kBackendStop = 4;
inline constexpr int kBackendCancel = 5;
inline constexpr int kBackendRetry = 6;

// The real URI of a "kx4:" device URI; none for any other URI or a real URI
// without a usable scheme.
std::optional<std::string> RealUri(std::string_view device_uri);
// The scheme of `uri` ([a-z][a-z0-9+.-]* before the ":"), lower-cased;
// empty when it has none.
std::string SchemeOf(std::string_view uri);
// `uri` without the user name and password of its authority, as the
// scheduler shows it in argv[0] and as it may be recorded.
std::string WithoutCredentials(std::string_view uri);
// The path of a file: URI (file:///path or file:/path, %XX decoded); none
// for a URI naming a host, a relative path or one with a NUL.
std::optional<std::string> FilePath(std::string_view uri);

// The folder of the real backends: $CUPS_SERVERBIN/backend, else this
// program's own folder.
std::string BackendFolder();

// Runs `program` with the job's arguments (`argv` of the wrapper, argv[0]
// replaced by `real_uri` without credentials) and environment (DEVICE_URI
// replaced by `real_uri`), reading `data_fd` as its standard input when it
// is not -1.  As root, the program runs as `account` unless others may not
// read and execute it, as the scheduler runs backends; it must then belong
// to root and be writable by nobody else.  SIGTERM is passed on to it.
// Returns its exit status, kBackendFailed when it ended on a signal, with
// the reason written to standard error when it could not be started.
int RunRealBackend(const std::string& program, char** argv, const std::string& real_uri,
                   int data_fd, const std::optional<Account>& account);

// Whether a SIGTERM reached RunRealBackend: the job was cancelled.
bool Cancelled();

// The job's data: the file the scheduler named, or else standard input kept
// in an unnamed temporary file (in $TMPDIR), so that it can be counted and
// then handed on.  Returns its descriptor and sets `path` to a name that
// opens it; -1 with the reason on standard error when it cannot.
int OpenJobData(const char* file, std::string& path);

// Writes the data of `data_fd` to `path`, replacing what it held; a
// symbolic link is refused.  Returns kBackendOk, or kBackendFailed with the
// reason on standard error.
int WriteFileDevice(const std::string& path, int data_fd);

}  // namespace kx4::cups

#endif  // KX4_TOOLS_CUPS_DEVICE_H_
